package tq.brindlecast.openh264.video;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.Iterator;
import java.util.NoSuchElementException;
import java.util.Objects;
import java.util.function.Consumer;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.MessageListener;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;

/**
 * Decodes a whole H.264 Annex B stream or file into its pictures, in display order: it cuts the
 * stream into access units with an {@link AccessUnitReader}, hands them to an {@link H264Decoder}
 * and drains the decoder at the end.
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
  private final AccessUnitReader reader;
  private final H264Decoder decoder;
  private final ArrayDeque<DecodedPicture> ready = new ArrayDeque<>(2);
  private boolean drained;
  private int accessUnits;
  private int failed;
  private String failureReason;

  /**
   * Decodes a stream with a decoder of the default configuration, whose messages go to the
   * logger.
   *
   * @param annexB the Annex B byte stream; closed by {@link #close()}
   * @throws NullPointerException if {@code annexB} is null
   * @throws CodecException if the decoder could not be created
   */
  public StreamDecoder(InputStream annexB) {
    this(new AccessUnitReader(annexB), new DecoderConfig(), null);
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
    this.reader = Objects.requireNonNull(reader, "reader must not be null");
    this.decoder = new H264Decoder(config, listener);
  }

  /**
   * Opens an Annex B file.
   *
   * @throws IOException if the file cannot be opened
   * @throws CodecException if the decoder could not be created
   */
  public static StreamDecoder open(Path file) throws IOException {
    AccessUnitReader reader = AccessUnitReader.open(file);
    try {
      return new StreamDecoder(reader, new DecoderConfig(), null);
    } catch (RuntimeException failure) {
      reader.close();
      throw failure;
    }
  }

  /**
   * Decodes a whole Annex B file and hands each picture to {@code consumer}, in display order.
   *
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
   * Decodes a whole Annex B stream and hands each picture to {@code consumer}, in display order;
   * the stream is closed at the end.
   *
   * @return the number of pictures
   * @throws IOException if the stream cannot be read
   * @throws CodecException if an access unit could not be decoded (after the pictures that did
   *     decode were handed over), with the reason when it is known
   */
  public static int decodeAll(InputStream annexB, Consumer<DecodedPicture> consumer)
      throws IOException {
    try (StreamDecoder pictures = new StreamDecoder(annexB)) {
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
    if (failed > 0) {
      throw new CodecException(
          (failureReason != null ? failureReason : "OpenH264 could not decode them") + "; "
              + failed + " of " + accessUnits + " access units not decoded");
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
    while (ready.isEmpty() && !drained) {
      byte[] unit;
      try {
        unit = reader.nextAccessUnit();
      } catch (IOException readFailure) {
        throw new UncheckedIOException(readFailure);
      }
      if (unit == null) {
        for (DecodedPicture held; (held = decoder.drain()) != null; ) {
          ready.add(held);
        }
        drained = true;
        break;
      }
      accessUnits++;
      DecodeResult result = decoder.decodeAccessUnit(unit);
      if (result.failed()) {
        failed++;
        if (failureReason == null) {
          failureReason = result.reason();
        }
      } else if (result.picture() != null) {
        ready.add(result.picture());
      }
    }
    return !ready.isEmpty();
  }

  /**
   * Returns the next picture.
   *
   * @throws NoSuchElementException if there is none
   * @throws UncheckedIOException if reading the stream fails
   */
  @Override
  public DecodedPicture next() {
    if (!hasNext()) {
      throw new NoSuchElementException("the stream has no more pictures");
    }
    return ready.poll();
  }

  /** Returns the number of access units read so far. */
  public int accessUnits() {
    return accessUnits;
  }

  /** Returns the number of access units that could not be decoded so far. */
  public int failedAccessUnits() {
    return failed;
  }

  /** Returns why the first failed access unit failed, when known; otherwise null. */
  public String failureReason() {
    return failureReason;
  }

  /** Closes the stream and frees the decoder. */
  @Override
  public void close() throws IOException {
    try {
      decoder.close();
    } finally {
      reader.close();
    }
  }
}
