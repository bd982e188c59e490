package tq.brindlecast.openh264.video;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.nio.file.Path;
import java.util.Iterator;
import java.util.NoSuchElementException;
import java.util.Objects;
import java.util.function.Consumer;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.MessageListener;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.AnnexBAccessUnits;

/**
 * Decodes a whole H.264 Annex B stream or file, or an MP4 file, into its pictures, in display
 * order: a {@link VideoReader} without the times. The formats are told apart by their first bytes;
 * an Annex B stream is cut into access units with an {@link AccessUnitReader}, and the decoder is
 * drained at the end.
 *
 * <pre>{@code
 * // With a callback; throws CodecException after the last picture if any access unit failed.
 * int pictures = StreamDecoder.decodeAll(Path.of("clip.h264"), picture -> show(picture));
 *
 * // As an iterator.
 * try (StreamDecoder pictures = StreamDecoder.open(Path.of("clip.h264"))) {
 *   while (pictures.hasNext()) {
 *     show(ImageConversions.toImage(pictures.next()));
 *   }
 *   if (pictures.failedAccessUnits() > 0) {
 *     log(pictures.failureReason());
 *   }
 * }
 * }</pre>
 *
 * <p>The iterator skips access units that do not decode and counts them ({@link
 * #failedAccessUnits()}, with the first known reason in {@link #failureReason()}). A read failure
 * surfaces from {@link #hasNext()} as an {@link UncheckedIOException}. A stream decoder is for one
 * thread; {@link #close()} closes the stream and the decoder.
 */
public final class StreamDecoder implements Iterator<DecodedPicture>, AutoCloseable {
  private final VideoReader reader;
  private final Iterator<Picture> pictures;

  private StreamDecoder(VideoReader reader) {
    this.reader = reader;
    this.pictures = reader.iterator();
  }

  /**
   * Decodes a stream, Annex B or MP4 (copied to a temporary file first), with a decoder of the
   * default configuration, whose messages go to the logger.
   *
   * @param stream the stream; closed by {@link #close()}
   * @throws NullPointerException if {@code stream} is null
   * @throws UncheckedIOException if its first bytes cannot be read, or it is an MP4 without H.264
   *     video
   * @throws CodecException if the decoder could not be created
   */
  public StreamDecoder(InputStream stream) {
    this(openUnchecked(stream));
  }

  private static VideoReader openUnchecked(InputStream stream) {
    try {
      return VideoReader.open(stream);
    } catch (IOException failure) {
      throw new UncheckedIOException(failure);
    }
  }

  /**
   * Decodes a stream with the given decoder settings.
   *
   * @param reader the access units; closed by {@link #close()}
   * @param config the decoder settings
   * @param listener receives the decoder's messages; null sends them to the logger
   * @throws NullPointerException if {@code reader} or {@code config} is null
   * @throws CodecException if the decoder could not be created
   */
  public StreamDecoder(AccessUnitReader reader, DecoderConfig config, MessageListener listener) {
    this(new VideoReader(new AnnexBAccessUnits(reader, 0), config, listener));
  }

  /**
   * Opens an Annex B file.
   *
   * @param file the Annex B file
   * @return a decoder of the file's pictures
   * @throws IOException if the file cannot be opened
   * @throws CodecException if the decoder could not be created
   */
  public static StreamDecoder open(Path file) throws IOException {
    return new StreamDecoder(VideoReader.open(file));
  }

  /**
   * Decodes a whole Annex B file and hands each picture to {@code consumer}, in display order.
   *
   * @param file the Annex B file
   * @param consumer receives each picture
   * @return the number of pictures
   * @throws IOException if the file cannot be read
   * @throws CodecException if an access unit could not be decoded (after the pictures that did
   *     decode were handed over), with the reason when it is known
   */
  public static int decodeAll(Path file, Consumer<DecodedPicture> consumer) throws IOException {
    try (StreamDecoder pictures = open(file)) {
      return pictures.forEachPicture(consumer);
    }
  }

  /**
   * Decodes a whole Annex B or MP4 stream and hands each picture to {@code consumer}, in display
   * order; the stream is closed at the end.
   *
   * @param stream the Annex B or MP4 bytes
   * @param consumer what receives each picture
   * @return the number of pictures
   * @throws IOException if the stream cannot be read
   * @throws CodecException if an access unit could not be decoded (after the pictures that did
   *     decode were handed over), with the reason when it is known
   */
  public static int decodeAll(InputStream stream, Consumer<DecodedPicture> consumer)
      throws IOException {
    try (StreamDecoder pictures = new StreamDecoder(VideoReader.open(stream))) {
      return pictures.forEachPicture(consumer);
    }
  }

  private int forEachPicture(Consumer<DecodedPicture> consumer) throws IOException {
    Objects.requireNonNull(consumer, "consumer must not be null");
    int count = 0;
    try {
      while (hasNext()) {
        consumer.accept(next());
        count++;
      }
    } catch (UncheckedIOException readFailure) {
      throw readFailure.getCause();
    }
    if (reader.failedAccessUnits() > 0) {
      throw new CodecException(
          (reader.failureReason() != null ? reader.failureReason()
              : "OpenH264 could not decode them") + "; " + reader.failedAccessUnits() + " of "
              + reader.accessUnits() + " access units not decoded");
    }
    return count;
  }

  /**
   * Tells whether another picture follows, reading and decoding as far as needed.
   *
   * @throws UncheckedIOException if reading the stream fails
   */
  @Override
  public boolean hasNext() {
    return pictures.hasNext();
  }

  /**
   * Returns the next picture.
   *
   * @throws NoSuchElementException if there is none
   * @throws UncheckedIOException if reading the stream fails
   */
  @Override
  public DecodedPicture next() {
    return pictures.next().decoded();
  }

  /** {@return the number of access units read so far} */
  public int accessUnits() {
    return reader.accessUnits();
  }

  /** {@return the number of access units that could not be decoded so far} */
  public int failedAccessUnits() {
    return reader.failedAccessUnits();
  }

  /** {@return why the first failed access unit failed, when known; otherwise null} */
  public String failureReason() {
    return reader.failureReason();
  }

  /** Closes the stream and frees the decoder. */
  @Override
  public void close() throws IOException {
    reader.close();
  }
}
