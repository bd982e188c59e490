package tq.brindlecast.openh264.mp4;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Objects;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.bitstream.EncodedPictureSink;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;
import tq.brindlecast.openh264.io.OutputLifecycle;

/**
 * Writes H.264 pictures into an MP4 file with one video track.
 *
 * <pre>{@code
 * try (Mp4Writer mp4 = Mp4Writer.toFile(Path.of("out.mp4"), 1280, 720, 30)) {
 *   for (I420Picture picture : pictures) {
 *     EncodedFrame frame = encoder.encode(picture);
 *     if (frame != null) {
 *       mp4.write(frame);                  // or mp4.write(frame, timestampMicros)
 *     }
 *   }
 *   mp4.finish();                          // without it, close() throws the file away
 * }
 * }</pre>
 *
 * <p>{@link #toFile} writes a progressive MP4 with the {@code moov} box before the media data, so
 * that it plays while it downloads; the file appears, complete, when the writer is finished
 * (until then the data goes to a temporary file in the same folder; the file gets the permissions
 * of a new file). {@link #toStream} writes to a stream that cannot seek: a fragmented MP4, one
 * fragment per GOP (starting at each IDR picture), each written as soon as it is complete, so a
 * recording cut off by a crash keeps all but its last fragment.
 *
 * <p>Each picture lasts until the next one starts. Pictures written without a time stamp follow
 * the previous one after one frame interval; with time stamps (in microseconds, increasing, at
 * any intervals) the first picture starts the movie and the others keep their distance from it.
 * The last picture lasts as long as the one before it (one frame interval when it is the only
 * one).
 *
 * <p>The track's sample description comes from the stream's own SPS and PPS, taken from the first
 * picture, which must be an IDR picture carrying them, of the writer's size and in 4:2:0 with 8
 * bits (as OpenH264 encodes); those are not repeated in the samples, nor are access unit
 * delimiters. A later SPS or PPS that differs from them only in its id (OpenH264
 * numbers the parameter sets of each IDR picture anew by default) stays in its sample, as
 * decoders need it there. One that says something else (a new picture size, or other encoder
 * settings) is refused with an {@link IllegalArgumentException}: the writer stays usable, and the
 * new stream goes into a new file.
 *
 * <p>A writer is for one thread at a time.
 */
public final class Mp4Writer implements EncodedPictureSink {
  /** The largest frame rate accepted. */
  public static final double MAX_FRAME_RATE = 1000;

  private final Layout layout;
  private final int width;
  private final int height;
  private final int timescale;
  private final int frameTicks;
  private Mp4WriterFormat format;
  private Orientation orientation = Orientation.NORMAL;
  // The picture being converted, and the one before it, held until its duration is known.
  private Mp4BoxBuilder sample = new Mp4BoxBuilder();
  private Mp4BoxBuilder pending = new Mp4BoxBuilder();
  private boolean hasPending;
  private boolean pendingSync;
  private long pendingTicks;
  private long lastDuration;
  private long firstMicros;
  private long lastMicros;
  private boolean timed;
  private int pictures;
  private final OutputLifecycle lifecycle;

  /** Where finished samples go: a progressive file or a fragmented stream. */
  interface Layout {
    /** The first picture's format is known; comes before any sample. */
    void start(Mp4WriterFormat format) throws IOException;

    void add(byte[] data, int size, long duration, boolean sync) throws IOException;

    /** The next sample starts a new GOP. */
    void groupEnds() throws IOException;

    /** Completes the output; {@code format} is null when no sample was written. */
    void finish(Mp4WriterFormat format) throws IOException;

    /** Gives up after a failure: removes what is temporary. */
    void abandon();
  }

  private Mp4Writer(Layout layout, int width, int height, double frameRate) {
    this.layout = layout;
    this.lifecycle = new OutputLifecycle("the MP4 writer", layout::abandon);
    this.width = width;
    this.height = height;
    // A time scale in which the frame interval is a whole number of ticks: 1000 or 1001 of them,
    // whichever makes the scale an integer (30 -> 30000, 29.97 -> 30000 with 1001 ticks).
    double exact1000 = frameRate * 1000;
    double exact1001 = frameRate * 1001;
    boolean ntsc =
        Math.abs(exact1001 - Math.rint(exact1001)) < Math.abs(exact1000 - Math.rint(exact1000))
            - 1e-9;
    this.frameTicks = ntsc ? 1001 : 1000;
    this.timescale = (int) Math.max(1, Math.rint(ntsc ? exact1001 : exact1000));
  }

  /**
   * Writes a progressive MP4 file, {@code moov} first. The file is created (or replaced) when the
   * writer is closed.
   *
   * @param file the file to write
   * @param width the picture width in pixels, as stored in the track header
   * @param height the picture height in pixels
   * @param frameRate pictures per second: the interval of pictures written without a time stamp,
   *     and the time scale's base
   * @return the writer
   * @throws IllegalArgumentException if a size or the frame rate is out of range
   * @throws IOException if the temporary file cannot be created
   */
  public static Mp4Writer toFile(Path file, int width, int height, double frameRate)
      throws IOException {
    Objects.requireNonNull(file, "file must not be null");
    checkSettings(width, height, frameRate);
    return new Mp4Writer(new ProgressiveMp4Layout(file), width, height, frameRate);
  }

  /**
   * Writes a fragmented MP4 to a stream, one fragment per GOP. {@link #finish()} writes the last
   * fragment and an index of the fragments ({@code mfra}), and closes the stream. On a {@link
   * java.io.FileOutputStream} whose file can seek, it also writes the movie's length into the
   * {@code moov} ({@code mehd}), which players such as GStreamer's take as the duration.
   *
   * @param out the stream; the writer buffers each fragment itself
   * @param width the picture width in pixels
   * @param height the picture height in pixels
   * @param frameRate pictures per second, as for {@link #toFile}
   * @return the writer
   * @throws IllegalArgumentException if a size or the frame rate is out of range
   */
  public static Mp4Writer toStream(OutputStream out, int width, int height, double frameRate) {
    Objects.requireNonNull(out, "out must not be null");
    checkSettings(width, height, frameRate);
    return new Mp4Writer(new FragmentedMp4Layout(out), width, height, frameRate);
  }

  /**
   * Sets how players turn the pictures for display (the track matrix), before the first picture.
   *
   * @param orientation the rotation and mirroring
   * @return this writer
   * @throws IllegalStateException if a picture was already written
   */
  public Mp4Writer orientation(Orientation orientation) {
    Objects.requireNonNull(orientation, "orientation must not be null");
    if (format != null || !lifecycle.isOpen()) {
      throw new IllegalStateException("the orientation is set before the first picture");
    }
    this.orientation = orientation;
    return this;
  }

  private static void checkSettings(int width, int height, double frameRate) {
    if (width < 1 || width > 0xFFFF || height < 1 || height > 0xFFFF) {
      throw new IllegalArgumentException(
          "width and height must be 1 to 65535 pixels, were " + width + "x" + height);
    }
    if (!(frameRate >= 0.001 && frameRate <= MAX_FRAME_RATE)) {
      throw new IllegalArgumentException(
          "frame rate must be 0.001 to " + (int) MAX_FRAME_RATE + " pictures/s, was " + frameRate);
    }
  }

  /**
   * Appends a picture one frame interval after the previous one.
   *
   * @param frame the picture's Annex B bytes; the first must be an IDR picture with its SPS and
   *     PPS
   * @throws IllegalArgumentException if the picture cannot go into this track (see the class
   *     description); nothing is written then
   * @throws IOException if writing fails
   */
  @Override
  public void write(EncodedFrame frame) throws IOException {
    long next = !hasPending ? 0 : pendingTicks + frameTicks;
    append(frame, next, Long.MIN_VALUE);
  }

  /**
   * Appends a picture shown at a time stamp.
   *
   * @param frame the picture's Annex B bytes; the first must be an IDR picture with its SPS and
   *     PPS
   * @param timestampMicros when it is shown, in microseconds on any clock; later than the previous
   *     picture's
   * @throws IllegalArgumentException if the time stamp does not increase, or the picture cannot
   *     go into this track; nothing is written then
   * @throws IOException if writing fails
   */
  @Override
  public void write(EncodedFrame frame, long timestampMicros) throws IOException {
    long ticks;
    if (!hasPending) {
      ticks = 0;
    } else if (!timed) {
      // Time stamps after untimed pictures: the previous picture stands for this clock's origin.
      ticks = pendingTicks + frameTicks;
    } else {
      if (timestampMicros <= lastMicros) {
        throw new IllegalArgumentException(
            "time stamps must increase: " + timestampMicros + " µs after " + lastMicros + " µs");
      }
      ticks = toTicks(timestampMicros - firstMicros);
      if (ticks <= pendingTicks) {
        throw new IllegalArgumentException(
            "time stamp " + timestampMicros + " µs is less than one tick (1/" + timescale
                + " s) after the previous one");
      }
    }
    append(frame, ticks, timestampMicros);
  }

  private long toTicks(long micros) {
    if (micros > Long.MAX_VALUE / timescale) {
      throw new IllegalArgumentException("time stamp " + micros + " µs after the first is too late");
    }
    return Math.floorDiv(micros * timescale + 500_000, 1_000_000);
  }

  private void append(EncodedFrame frame, long ticks, long micros) throws IOException {
    Objects.requireNonNull(frame, "frame must not be null");
    lifecycle.checkOpen();
    if (hasPending && ticks - pendingTicks > Mp4WriterBoxes.MAX_U32) {
      throw new IllegalArgumentException(
          "a picture may last at most 2^32 ticks of 1/" + timescale + " s");
    }
    Mp4WriterFormat newFormat = format == null ? formatOf(frame) : null;
    boolean sync = frame.isIdr();
    buildSample(frame, format == null ? newFormat : format);
    try {
      if (newFormat != null) {
        format = newFormat;
        layout.start(format);
      }
      if (hasPending) {
        lastDuration = ticks - pendingTicks;
        layout.add(pending.array(), pending.size(), lastDuration, pendingSync);
        if (sync) {
          layout.groupEnds();
        }
      }
    } catch (IOException | RuntimeException failure) {
      lifecycle.abort();
      throw failure;
    }
    Mp4BoxBuilder spare = pending;
    pending = sample;
    sample = spare;
    hasPending = true;
    pendingSync = sync;
    pendingTicks = ticks;
    if (micros != Long.MIN_VALUE) {
      if (!timed) {
        firstMicros = micros - (ticks * 1_000_000 + timescale / 2) / timescale;
        timed = true;
      }
      lastMicros = micros;
    }
    pictures++;
  }

  /** The sample description from the first picture: refused unless it is a complete IDR. */
  private Mp4WriterFormat formatOf(EncodedFrame frame) {
    List<byte[]> sps = new ArrayList<>();
    List<byte[]> pps = new ArrayList<>();
    byte[] data = frame.data();
    for (NalUnit unit : frame.nalUnits()) {
      byte[] bytes = Arrays.copyOfRange(data, unit.offset(), unit.offset() + unit.length());
      if (unit.type() == NalUnit.TYPE_SPS && !contains(sps, bytes)) {
        sps.add(bytes);
      } else if (unit.type() == NalUnit.TYPE_PPS && !contains(pps, bytes)) {
        pps.add(bytes);
      }
    }
    if (!frame.isIdr() || sps.isEmpty() || pps.isEmpty()) {
      throw new IllegalArgumentException(
          "the first picture of an MP4 track must be an IDR picture with its SPS and PPS; got "
              + frame);
    }
    if (sps.size() > 31) {
      throw new IllegalArgumentException("the first picture's SPS cannot describe a track");
    }
    // Throws with the reason if the SPS cannot be read.
    SequenceParameterSet stream = SequenceParameterSet.parse(sps.get(0));
    if (stream.chromaFormatIdc() != 1 || stream.bitDepthLuma() != 8
        || stream.bitDepthChroma() != 8) {
      throw new IllegalArgumentException(
          "the stream is not 4:2:0 with 8 bits (chroma_format_idc " + stream.chromaFormatIdc()
              + ", " + stream.bitDepthLuma() + " bits), the only format this writer describes");
    }
    if (stream.width() != width || stream.height() != height) {
      throw new IllegalArgumentException(
          "the stream's pictures are " + stream.width() + "x" + stream.height()
              + " but the writer was made for " + width + "x" + height);
    }
    return new Mp4WriterFormat(width, height, timescale, sps, pps, orientation);
  }

  private static boolean contains(List<byte[]> sets, byte[] set) {
    for (byte[] known : sets) {
      if (Arrays.equals(known, set)) {
        return true;
      }
    }
    return false;
  }

  /** The sample into {@link #sample}: length-prefixed NAL units, parameter sets checked. */
  private void buildSample(EncodedFrame frame, Mp4WriterFormat description) {
    sample.clear();
    byte[] data = frame.data();
    boolean hasSlice = false;
    for (NalUnit unit : frame.nalUnits()) {
      int type = unit.type();
      if (type == NalUnit.TYPE_SPS || type == NalUnit.TYPE_PPS) {
        boolean sequence = type == NalUnit.TYPE_SPS;
        if (description.holds(data, unit.offset(), unit.length(), sequence)) {
          continue; // in the sample description already
        }
        if (!description.matchesButIds(data, unit.offset(), unit.length(), sequence)) {
          sample.clear();
          throw new IllegalArgumentException(
              "picture " + (pictures + 1) + " brings a new " + (type == NalUnit.TYPE_SPS ? "SPS"
                  : "PPS") + " (another picture size or other encoder settings) than the first"
                  + " picture; an MP4 track written here keeps one sample description: write"
                  + " the new stream to a new file");
        }
        // Renumbered: kept in the sample, where the slices that refer to it find it.
        sample.u32(unit.length()).bytes(data, unit.offset(), unit.length());
        continue;
      }
      if (type == NalUnit.TYPE_AUD) {
        continue;
      }
      hasSlice |= unit.isSlice();
      sample.u32(unit.length()).bytes(data, unit.offset(), unit.length());
    }
    if (!hasSlice) {
      sample.clear();
      throw new IllegalArgumentException("the frame holds no slice: " + frame);
    }
  }

  /** {@return the number of pictures written so far} */
  @Override
  public int pictureCount() {
    return pictures;
  }

  /**
   * Writes the last picture and completes the MP4: the file moved into place, or the last
   * fragment written and the stream closed. Finishing again does nothing.
   *
   * @throws IOException if writing fails, or no picture was written (no file is created then)
   * @throws IllegalStateException if the writer was aborted
   */
  @Override
  public void finish() throws IOException {
    finishWithLast(pictures > 1 ? lastDuration : frameTicks);
  }

  /**
   * Writes the last picture, lasting until {@code endMicros} when it was written with a time stamp
   * before that, and completes the MP4 as {@link #finish()} does.
   *
   * @param endMicros when the last picture ends, on the clock of its time stamps
   * @throws IOException if writing fails, or no picture was written
   * @throws IllegalStateException if the writer was aborted
   */
  @Override
  public void finishAt(long endMicros) throws IOException {
    long end = timed && endMicros > lastMicros ? endMicros - firstMicros : -1;
    long duration = end > 0 && end <= Long.MAX_VALUE / timescale ? toTicks(end) - pendingTicks : 0;
    if (duration > 0 && duration <= Mp4WriterBoxes.MAX_U32) {
      finishWithLast(duration);
    } else {
      finish();
    }
  }

  private void finishWithLast(long duration) throws IOException {
    lifecycle.finish(
        () -> {
          if (hasPending) {
            layout.add(pending.array(), pending.size(), duration, pendingSync);
          }
          layout.finish(format);
        });
  }

  /**
   * Gives up: the temporary file removed (a file already at the target stays as it was), or the
   * stream closed after the fragments already sent. Does nothing once finished or aborted.
   */
  @Override
  public void abort() {
    lifecycle.abort();
  }

  /**
   * Aborts unless {@link #finish()} or {@link #abort()} came first.
   *
   * @throws IllegalStateException after aborting, when the writer was neither finished nor aborted
   */
  @Override
  public void close() {
    lifecycle.close();
  }
}
