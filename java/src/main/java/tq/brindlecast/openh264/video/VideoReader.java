package tq.brindlecast.openh264.video;

import java.io.BufferedInputStream;
import java.io.Closeable;
import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.Iterator;
import java.util.NoSuchElementException;
import java.util.Objects;
import java.util.PriorityQueue;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.MessageListener;
import tq.brindlecast.openh264.bitstream.AccessUnit;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.AccessUnitSource;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.AnnexBAccessUnits;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;
import tq.brindlecast.openh264.mp4.Mp4AccessUnits;
import tq.brindlecast.openh264.mp4.Mp4Reader;

/**
 * Turns a video, an MP4 or QuickTime file or an Annex B stream, into its pictures in display
 * order, each with its time: the one decode loop of the library.
 *
 * <pre>{@code
 * for (Picture picture : VideoReader.open(Path.of("clip.mp4"))) {
 *   BufferedImage image = ImageConversions.toImage(picture.decoded().asI420Picture());
 *   show(image, picture.presentationTimeMicros());
 * }
 * }</pre>
 *
 * <p>{@link #open(Path)} and {@link #open(InputStream)} tell the formats apart by the first bytes.
 * The access units are decoded in decode order and the decoder is drained at the end; each
 * picture gets the earliest presentation time not yet given, since the decoder hands pictures out
 * in display order. Pictures an MP4's edit list leaves out are decoded (the pictures after them
 * may refer to them) but not returned ({@link #hiddenPictures()}). Access units that do not
 * decode are skipped and counted ({@link #failedAccessUnits()}, {@link #failureReason()}).
 *
 * <p>The reader is iterated once. It closes itself after the last picture, so a for-each loop
 * that runs to the end needs no close; {@link #close()} releases it earlier. A read failure
 * surfaces from the iterator as an {@link UncheckedIOException}. A reader is for one thread.
 */
public final class VideoReader implements Iterable<Picture>, Closeable {
  private final AccessUnitSource source;
  private final H264Decoder decoder;
  private final ArrayDeque<Picture> ready = new ArrayDeque<>(2);
  // Presentation times of the units decoded whose pictures have not come out yet, earliest first.
  private final PriorityQueue<Long> times = new PriorityQueue<>();
  private boolean iterated;
  private boolean ended;
  private boolean closed;
  private int accessUnits;
  private int failed;
  private String failureReason;
  private int hidden;
  private int shown;
  private long decodeNanos;
  private SequenceParameterSet lastSequenceParameterSet;

  /**
   * Decodes access units from a source.
   *
   * @param source the access units; closed with the reader
   * @param config the decoder settings
   * @param listener receives the decoder's messages; null sends them to the logger
   * @throws CodecException if the decoder could not be created
   */
  public VideoReader(AccessUnitSource source, DecoderConfig config, MessageListener listener) {
    this.source = Objects.requireNonNull(source, "source must not be null");
    this.decoder = new H264Decoder(Objects.requireNonNull(config, "config must not be null"),
        listener);
  }

  /**
   * Opens an MP4 or QuickTime file, or an Annex B file, told apart by its first bytes.
   *
   * @param file the file
   * @return a reader of its pictures
   * @throws IOException if the file cannot be read, or is an MP4 without H.264 video
   * @throws CodecException if the decoder could not be created
   */
  public static VideoReader open(Path file) throws IOException {
    Objects.requireNonNull(file, "file must not be null");
    return open(Files.newInputStream(file), file);
  }

  /**
   * Opens a stream holding an MP4 (copied to a temporary file first, since MP4 needs seeking) or
   * an Annex B stream, told apart by its first bytes. The stream is closed with the reader.
   *
   * @param in the stream
   * @return a reader of its pictures
   * @throws IOException if the stream cannot be read, or is an MP4 without H.264 video
   * @throws CodecException if the decoder could not be created
   */
  public static VideoReader open(InputStream in) throws IOException {
    Objects.requireNonNull(in, "in must not be null");
    return open(in, null);
  }

  private static VideoReader open(InputStream stream, Path file) throws IOException {
    AccessUnitSource source = null;
    try {
      InputStream in = new BufferedInputStream(stream, 1 << 16);
      in.mark(8);
      byte[] head = in.readNBytes(8);
      in.reset();
      if (Mp4Reader.startsLikeMp4(head)) {
        Mp4Reader reader;
        if (file != null) {
          in.close();
          reader = Mp4Reader.open(file);
        } else {
          reader = Mp4Reader.open(in);
        }
        source = new Mp4AccessUnits(reader);
      } else {
        source = new AnnexBAccessUnits(new AccessUnitReader(in), 0);
      }
      return new VideoReader(source, new DecoderConfig(), null);
    } catch (IOException | RuntimeException failure) {
      if (source != null) {
        source.close();
      } else {
        stream.close();
      }
      throw failure;
    }
  }

  /**
   * Returns the pictures, once: a second call throws {@link IllegalStateException}.
   */
  @Override
  public Iterator<Picture> iterator() {
    if (iterated) {
      throw new IllegalStateException("a video reader is iterated once");
    }
    iterated = true;
    return new Iterator<>() {
      @Override
      public boolean hasNext() {
        return fill();
      }

      @Override
      public Picture next() {
        if (!fill()) {
          throw new NoSuchElementException("the video has no more pictures");
        }
        return ready.poll();
      }
    };
  }

  /** Decodes until a picture is ready or the video has ended; closes the reader at the end. */
  private boolean fill() {
    try {
      while (ready.isEmpty() && !ended) {
        if (closed) {
          throw new IllegalStateException("the video reader is closed");
        }
        AccessUnit unit = source.next();
        if (unit == null) {
          drain();
          ended = true;
          close();
          break;
        }
        decode(unit);
      }
    } catch (IOException failure) {
      throw new UncheckedIOException(failure);
    }
    return !ready.isEmpty();
  }

  private void decode(AccessUnit unit) {
    accessUnits++;
    long started = System.nanoTime();
    DecodeResult result = decoder.decodeAccessUnit(unit.data());
    decodeNanos += System.nanoTime() - started;
    if (result.failed()) {
      failed++;
      if (failureReason == null) {
        failureReason = result.reason();
      }
    } else if (holdsPicture(unit)) {
      times.add(unit.presentationTimeMicros());
    }
    add(result.picture());
  }

  private void drain() {
    while (true) {
      long started = System.nanoTime();
      DecodedPicture held = decoder.drain();
      decodeNanos += System.nanoTime() - started;
      if (held == null) {
        return;
      }
      add(held);
    }
  }

  private static boolean holdsPicture(AccessUnit unit) {
    for (NalUnit nal : AnnexB.nalUnits(unit.data())) {
      if (nal.isSlice()) {
        return true;
      }
    }
    return false;
  }

  private void add(DecodedPicture picture) {
    if (picture == null) {
      return;
    }
    Long time = times.poll();
    if (time == null) {
      time = -1L; // more pictures than units with slices: no time to give
    } else if (time < 0) {
      hidden++; // before the edit list's start
      return;
    }
    ready.add(new Picture(picture, shown++, time));
  }

  /** {@return the number of access units decoded so far} */
  public int accessUnits() {
    return accessUnits;
  }

  /** {@return the number of access units that could not be decoded so far} */
  public int failedAccessUnits() {
    return failed;
  }

  /** {@return why the first failed access unit failed, when known; otherwise null} */
  public String failureReason() {
    return failureReason;
  }

  /** {@return the number of pictures decoded but left out, as an MP4's edit list says} */
  public int hiddenPictures() {
    return hidden;
  }

  /** {@return the time spent in the decoder so far, in nanoseconds} */
  public long decodeNanos() {
    return decodeNanos;
  }

  /** {@return the latest sequence parameter set the decoder was handed, or null before one} */
  public SequenceParameterSet sequenceParameterSet() {
    return closed ? lastSequenceParameterSet : decoder.sequenceParameterSet();
  }

  /** {@return the bytes of video read so far} */
  public long bytesRead() {
    return source.bytesRead();
  }

  /** Closes the source and frees the decoder; closing again does nothing. */
  @Override
  public void close() throws IOException {
    if (closed) {
      return;
    }
    closed = true;
    lastSequenceParameterSet = decoder.sequenceParameterSet();
    try {
      source.close();
    } finally {
      decoder.close();
    }
  }
}
