package tq.brindlecast.openh264.video;

import java.awt.image.BufferedImage;
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
import tq.brindlecast.openh264.OpenH264Library;
import tq.brindlecast.openh264.bitstream.AccessUnit;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.AccessUnitSource;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.AnnexBAccessUnits;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;
import tq.brindlecast.openh264.image.YuvColour;
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
 * The access units are decoded in decode order and the decoder is drained at the end (with
 * OpenH264 2.1 and 2.2 also before each IDR picture, which they would otherwise mishandle); each
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
  private static final long HIDDEN = Long.MIN_VALUE;
  private final ArrayDeque<Picture> ready = new ArrayDeque<>(2);
  // Presentation times of the units decoded whose pictures have not come out yet, earliest first.
  private final PriorityQueue<Long> times = new PriorityQueue<>();
  private boolean iterated;
  private boolean readingImages;
  private boolean draining;
  private YuvColour colour = YuvColour.BT601_LIMITED;
  private int lastWidth;
  private int lastHeight;
  private long lastImageTime = -1;
  private boolean ended;
  private boolean closed;
  private int accessUnits;
  private int failed;
  private String failureReason;
  private int hidden;
  private int shown;
  private long decodeNanos;
  private SequenceParameterSet lastSequenceParameterSet;
  private final boolean drainsBeforeIdr;
  private AccessUnit heldBack; // an IDR access unit waiting for the pictures before it to drain

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
    this.drainsBeforeIdr = handsOutWrongPictureAtIdr(OpenH264Library.release());
  }

  /**
   * Tells whether an OpenH264 release hands out a wrong picture for the last one it holds back
   * when an IDR picture comes: 2.1 and 2.2 give a picture of the new key-frame interval in its
   * place (B-pyramid streams show it). Drained before the IDR, they give the right one.
   */
  private static boolean handsOutWrongPictureAtIdr(String release) {
    return release.startsWith("2.1.") || release.startsWith("2.2.");
  }

  /** Tells whether the decoder holds pictures back that must come out before this unit. */
  private boolean mustDrainBefore(AccessUnit unit) {
    if (!drainsBeforeIdr || times.isEmpty()) {
      return false;
    }
    for (NalUnit nal : AnnexB.nalUnits(unit.data())) {
      if (nal.type() == NalUnit.TYPE_IDR) {
        return true;
      }
    }
    return false;
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
        VideoReader opened = new VideoReader(source, new DecoderConfig(), null);
        opened.colour = StreamColour.of(reader.videoTrack());
        return opened;
      }
      source = new AnnexBAccessUnits(new AccessUnitReader(in), 0);
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
    if (readingImages) {
      throw new IllegalStateException(
          "this video reader is read as images: a reader gives either pictures or images");
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
        if (mustDrainBefore(unit)) {
          drain();
        }
        decode(unit);
      }
    } catch (IOException failure) {
      throw new UncheckedIOException(failure);
    }
    return !ready.isEmpty();
  }

  private void decode(AccessUnit unit) {
    long started = System.nanoTime();
    DecodeResult result = decoder.decodeAccessUnit(unit.data());
    decodeNanos += System.nanoTime() - started;
    count(unit, result);
    add(result.picture());
  }

  private void count(AccessUnit unit, DecodeResult result) {
    accessUnits++;
    if (result.failed()) {
      failed++;
      if (failureReason == null) {
        failureReason = result.reason();
      }
    } else if (holdsPicture(unit)) {
      times.add(unit.presentationTimeMicros());
    }
  }

  /**
   * Decodes up to the next picture, in display order, and returns it as a {@link
   * BufferedImage#TYPE_INT_RGB} image in the stream's colour matrix and range ({@link
   * #colour()}). The decoder converts the picture straight from its own planes into {@code reuse}
   * when that is a {@code TYPE_INT_RGB} image of the picture's size whose raster holds just its
   * pixels (such as an image this method returned), and into a new image otherwise. Handing the
   * previous image back, when the caller is done with it, saves allocating and clearing an image
   * for every picture, and the copy of the planes: the fastest way from a video to images.
   *
   * <p>A reader gives either pictures (its iterator) or images, not both.
   *
   * @param reuse an image to overwrite with the picture, or null
   * @return the image ({@code reuse} or a new one), or null after the last picture
   * @throws UncheckedIOException if the video cannot be read
   * @throws IllegalStateException if the reader is iterated as pictures, or closed
   */
  public BufferedImage nextImage(BufferedImage reuse) {
    if (iterated) {
      throw new IllegalStateException(
          "this video reader is iterated as pictures: a reader gives either pictures or images");
    }
    readingImages = true;
    try {
      while (!ended) {
        if (closed) {
          throw new IllegalStateException("the video reader is closed");
        }
        AccessUnit unit = draining || heldBack != null ? null : source.next();
        if (unit != null && mustDrainBefore(unit)) {
          heldBack = unit;
          unit = null;
        }
        ImageTarget target = ImageTarget.of(reuse, lastWidth, lastHeight, colour);
        long started = System.nanoTime();
        DecodeResult result = null;
        if (heldBack != null) {
          result = decoder.drainIntoPixels(target.pixels());
          if (result.status() == DecodeResult.Status.NO_PICTURE_YET) {
            unit = heldBack; // drained: now the IDR
            heldBack = null;
            result = null;
          }
        }
        if (result == null && unit != null) {
          noteColour(unit);
          result = decoder.decodeIntoPixels(unit.data(), 0, unit.data().length, target.pixels());
        } else if (result == null) {
          draining = true;
          result = decoder.drainIntoPixels(target.pixels());
        }
        decodeNanos += System.nanoTime() - started;
        if (unit != null) {
          count(unit, result);
        } else if (heldBack == null && result.status() == DecodeResult.Status.NO_PICTURE_YET) {
          ended = true;
          close();
          break;
        }
        BufferedImage image = target.image(result, colour);
        if (image != null) {
          lastWidth = image.getWidth();
          lastHeight = image.getHeight();
          long time = takeTime();
          if (time != HIDDEN) {
            shown++;
            lastImageTime = time;
            return image;
          }
        }
      }
    } catch (IOException failure) {
      throw new UncheckedIOException(failure);
    }
    return null;
  }

  /** {@return the matrix and range pictures are converted to RGB with} */
  public YuvColour colour() {
    return colour;
  }

  /**
   * {@return when the picture {@link #nextImage} returned last is shown, in microseconds from the
   * start of the video; -1 before the first or when the stream does not say}
   */
  public long imageTimeMicros() {
    return lastImageTime;
  }

  /**
   * Follows the colour that a parameter set in the unit declares. Parameter sets come before the
   * slices, so the scan stops at the first slice rather than reading the whole unit.
   */
  private void noteColour(AccessUnit unit) {
    byte[] data = unit.data();
    int start = AnnexB.findStartCode(data, 0, data.length);
    while (start >= 0 && start + 3 < data.length) {
      int header = start + 3;
      int type = NalUnit.typeOf(data[header]);
      if (type == NalUnit.TYPE_SLICE || type == NalUnit.TYPE_IDR) {
        return;
      }
      int next = AnnexB.findStartCode(data, header, data.length);
      if (type == NalUnit.TYPE_SPS) {
        try {
          int end = next < 0 ? data.length : next;
          colour = StreamColour.of(SequenceParameterSet.parse(data, header, end - header), colour);
        } catch (IllegalArgumentException unparsable) {
          // the decoder reports what is wrong with it
        }
      }
      start = next;
    }
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
    long time = takeTime();
    if (time != HIDDEN) {
      ready.add(new Picture(picture, shown++, time));
    }
  }

  /** The time of the picture that came out, -1 when unknown, or HIDDEN. */
  private long takeTime() {
    Long time = times.poll();
    if (time == null) {
      return -1L; // more pictures than units with slices: no time to give
    }
    if (time < 0) {
      hidden++; // before the edit list's start
      return HIDDEN;
    }
    return time;
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
