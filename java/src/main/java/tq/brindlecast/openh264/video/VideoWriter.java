package tq.brindlecast.openh264.video;

import java.awt.image.BufferedImage;
import java.io.Closeable;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Path;
import java.util.Collections;
import java.util.List;
import java.util.Objects;
import java.util.function.Function;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.ParameterSetStrategy;
import tq.brindlecast.openh264.RateControlMode;
import tq.brindlecast.openh264.SpatialLayerConfig;
import tq.brindlecast.openh264.bitstream.AnnexBWriter;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.bitstream.EncodedPictureSink;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.image.ImageRaster;
import tq.brindlecast.openh264.image.YuvColour;
import tq.brindlecast.openh264.io.OutputLifecycle;
import tq.brindlecast.openh264.mp4.Mp4Writer;
import tq.brindlecast.openh264.mp4.Orientation;

/**
 * Turns pictures into a video: encodes {@link BufferedImage}s or {@link I420Picture}s with
 * OpenH264 and writes an MP4 file, a fragmented MP4 stream, or a raw H.264 (Annex B) stream.
 *
 * <pre>{@code
 * try (VideoWriter video = VideoWriter.toMp4(Path.of("out.mp4"), 1280, 720, 30)) {
 *   for (BufferedImage image : images) video.write(image);
 *   video.finish();
 * }
 * }</pre>
 *
 * <p>Every picture must have the size given to the factory (even numbers, at least {@value
 * H264Encoder#MIN_SIZE}). Pictures written without a time stamp follow each other at the frame
 * rate; with time stamps (microseconds, increasing) they keep their real intervals, for a camera
 * or screen loop. An Annex B stream has no time stamps: there they only order the pictures.
 *
 * <p>Unless {@link #configure} says otherwise the encoder uses {@link #defaultConfig}: bit-rate
 * control at {@link #defaultBitrate}, an IDR picture every two seconds (where players can seek,
 * and where a fragmented MP4 starts a fragment), and no skipped pictures, so the video holds every
 * picture written. Images are converted with the values of {@link
 * ImageConversions#toI420(BufferedImage, I420Picture)}: those whose pixels lie plainly in a
 * standard layout ({@link ImageRaster#of}) in native code straight into the encoder's picture,
 * others in Java into planes the writer keeps. {@link #finish()} encodes nothing more, finishes the
 * file (an MP4 file or Annex B file appears, complete, only then) and frees the encoder. Closing
 * the writer without a finish, as when an exception leaves try-with-resources, or {@link
 * #abort()}, throws the video away: a file already at the target stays as it was, and no
 * temporary file is left.
 *
 * <p>A writer is for one thread at a time.
 */
public final class VideoWriter implements Closeable {
  /** Bits per pixel of the default bit rate: 2000 units of 1024 bit/s at 1280x720 and 30/s. */
  private static final double PIXELS_PER_UNIT = 1280.0 * 720 * 30 / 2000;

  private final EncodedPictureSink sink;
  private final int width;
  private final int height;
  private final double fps;
  /** The VUI's {@code video_format} code for "unspecified". */
  private static final int UNSPECIFIED_VIDEO_FORMAT = 5;

  private EncoderConfig config;
  private int bitrate;
  private H264Encoder encoder;
  private I420Picture converted;
  private int pictures;
  private boolean timedBefore;
  private long lastTimestamp;
  private final OutputLifecycle lifecycle;

  private VideoWriter(EncodedPictureSink sink, int width, int height, double fps) {
    this.sink = sink;
    this.lifecycle = new OutputLifecycle("the video writer", this::giveUp);
    this.width = width;
    this.height = height;
    this.fps = fps;
    this.config = defaultConfig(fps);
    this.bitrate = defaultBitrate(width, height, fps);
  }

  /**
   * Writes an MP4 file ({@code moov} first), created or replaced when the writer is finished.
   *
   * @param file the MP4 file
   * @param width the picture width: even, at least 16
   * @param height the picture height: even, at least 16
   * @param fps pictures per second
   * @return the writer
   * @throws IllegalArgumentException if a size or the frame rate is out of range
   * @throws IOException if the temporary file cannot be created
   */
  public static VideoWriter toMp4(Path file, int width, int height, double fps)
      throws IOException {
    checkSettings(width, height, fps);
    return new VideoWriter(Mp4Writer.toFile(file, width, height, fps), width, height, fps);
  }

  /**
   * Writes a fragmented MP4 to a stream (a socket, a pipe, memory): one fragment per GOP, each
   * written once complete. {@link #finish()} and {@link #abort()} close the stream.
   *
   * @param out the stream
   * @param width the picture width: even, at least 16
   * @param height the picture height: even, at least 16
   * @param fps pictures per second
   * @return the writer
   * @throws IllegalArgumentException if a size or the frame rate is out of range
   */
  public static VideoWriter toMp4(OutputStream out, int width, int height, double fps) {
    checkSettings(width, height, fps);
    return new VideoWriter(Mp4Writer.toStream(out, width, height, fps), width, height, fps);
  }

  /**
   * Writes a raw H.264 (Annex B) file, created or replaced when the writer is finished.
   *
   * @param file the H.264 file
   * @param width the picture width: even, at least 16
   * @param height the picture height: even, at least 16
   * @param fps pictures per second, for the encoder's rate control
   * @return the writer
   * @throws IllegalArgumentException if a size or the frame rate is out of range
   * @throws IOException if the temporary file cannot be created
   */
  public static VideoWriter toAnnexB(Path file, int width, int height, double fps)
      throws IOException {
    Objects.requireNonNull(file, "file must not be null");
    checkSettings(width, height, fps);
    return new VideoWriter(AnnexBWriter.toFile(file), width, height, fps);
  }

  /**
   * Writes a raw H.264 (Annex B) stream. {@link #finish()} and {@link #abort()} close the stream.
   *
   * @param out the stream
   * @param width the picture width: even, at least 16
   * @param height the picture height: even, at least 16
   * @param fps pictures per second, for the encoder's rate control
   * @return the writer
   * @throws IllegalArgumentException if a size or the frame rate is out of range
   */
  public static VideoWriter toAnnexB(OutputStream out, int width, int height, double fps) {
    Objects.requireNonNull(out, "out must not be null");
    checkSettings(width, height, fps);
    return new VideoWriter(AnnexBWriter.toStream(out), width, height, fps);
  }

  /**
   * The configuration a writer starts with: bit-rate control, low complexity, one thread, an IDR
   * picture every two seconds, the same SPS and PPS ids throughout (an MP4 then carries them
   * once), frame skipping off.
   *
   * @param fps pictures per second
   * @return a new configuration
   */
  public static EncoderConfig defaultConfig(double fps) {
    return new EncoderConfig()
        .setMaxFrameRate((float) fps)
        .setRcMode(RateControlMode.BITRATE)
        .setIntraPeriod((int) Math.max(1, Math.min(Math.round(2 * fps), 1_000_000)))
        .setParameterStrategy(ParameterSetStrategy.CONSTANT_ID)
        .setEnableFrameSkip(false);
  }

  /**
   * The layers of a configuration, each saying in its VUI how images are turned into its
   * pictures ({@link ImageConversions#toI420(BufferedImage)}: BT.601 in limited range), so that
   * players and the MP4 {@code colr} box convert them back alike.
   */
  private static List<SpatialLayerConfig> describedLayers(EncoderConfig config) {
    YuvColour colour = YuvColour.BT601_LIMITED;
    int code = colour.matrix().code();
    SpatialLayerConfig layer = new SpatialLayerConfig().setFrameRate(config.getMaxFrameRate())
        .setVideoSignalTypePresent(true).setVideoFormat(UNSPECIFIED_VIDEO_FORMAT)
        .setFullRange(colour.fullRange()).setColorDescriptionPresent(true)
        .setColorPrimaries(code).setTransferCharacteristics(code).setColorMatrix(code);
    return Collections.nCopies(config.getSpatialLayers(), layer);
  }

  /**
   * The bit rate a writer starts with: about 0.074 bit per pixel, 2000 units of 1024 bit/s at
   * 1280x720 and 30 pictures/s, and at least 64.
   *
   * @param width the picture width in pixels
   * @param height the picture height in pixels
   * @param fps pictures per second
   * @return units of 1024 bit/s
   */
  public static int defaultBitrate(int width, int height, double fps) {
    long units = Math.round(width * (double) height * fps / PIXELS_PER_UNIT);
    return (int) Math.max(64, Math.min(units, H264Encoder.MAX_BITRATE));
  }

  /**
   * Sets the encoder's configuration and bit rate, before the first picture.
   *
   * @param config the settings, copied; frame skipping may drop pictures, which then do not
   *     appear in the video
   * @param bitrate units of 1024 bit/s
   * @return this writer
   * @throws IllegalStateException if a picture was already written
   * @throws IllegalArgumentException if the bit rate is out of range or the settings contradict
   *     each other
   */
  public VideoWriter configure(EncoderConfig config, int bitrate) {
    Objects.requireNonNull(config, "config must not be null");
    if (encoder != null || !lifecycle.isOpen()) {
      throw new IllegalStateException("configure comes before the first picture");
    }
    if (bitrate < 1 || bitrate > H264Encoder.MAX_BITRATE) {
      throw new IllegalArgumentException(
          "bitrate must be 1 to " + H264Encoder.MAX_BITRATE + ", was " + bitrate);
    }
    this.config = config.copy().validate();
    this.bitrate = bitrate;
    return this;
  }

  /**
   * Sets how players turn the pictures for display, before the first picture: the MP4 track's
   * matrix says so, and the pictures are encoded as given. Phones record upright video this way.
   *
   * @param orientation the rotation and mirroring
   * @return this writer
   * @throws IllegalStateException if a picture was already written, or the writer writes Annex
   *     B, which has no place for it
   */
  public VideoWriter orientation(Orientation orientation) {
    Objects.requireNonNull(orientation, "orientation must not be null");
    if (!(sink instanceof Mp4Writer mp4)) {
      throw new IllegalStateException(
          "an Annex B stream has no place for an orientation; write an MP4 file instead");
    }
    if (encoder != null || !lifecycle.isOpen()) {
      throw new IllegalStateException("the orientation is set before the first picture");
    }
    mp4.orientation(orientation);
    return this;
  }

  /**
   * Encodes an image, one frame interval after the previous picture.
   *
   * @param image the image
   * @throws IOException if the output cannot be written
   */
  public void write(BufferedImage image) throws IOException {
    encode(image, 0, false);
  }

  /**
   * Encodes an image shown at a time stamp in microseconds, later than the previous one.
   *
   * @param image the image
   * @param timestampMicros when it is shown, in microseconds
   * @throws IOException if the output cannot be written
   */
  public void write(BufferedImage image, long timestampMicros) throws IOException {
    encode(image, timestampMicros, true);
  }

  /**
   * Encodes a picture, one frame interval after the previous picture.
   *
   * @param picture the picture
   * @throws IOException if the output cannot be written
   */
  public void write(I420Picture picture) throws IOException {
    I420Picture checked = checkSize(picture);
    encode(encoder -> encoder.encode(checked), 0, false);
  }

  /**
   * Encodes a picture shown at a time stamp in microseconds, later than the previous one.
   *
   * @param picture the picture
   * @param timestampMicros when it is shown, in microseconds
   * @throws IOException if the output cannot be written
   */
  public void write(I420Picture picture, long timestampMicros) throws IOException {
    I420Picture checked = checkSize(picture);
    encode(encoder -> encoder.encode(checked), timestampMicros, true);
  }

  /** {@return the number of pictures written to the video so far} */
  public int pictureCount() {
    return pictures;
  }

  /**
   * Finishes the video: an MP4 or Annex B file moved into place, or a stream completed and
   * closed; frees the encoder. Finishing again does nothing.
   *
   * @throws IOException if writing fails, or (for MP4) no picture was written; no file is left
   *     under the target's name then
   * @throws IllegalStateException if the writer was aborted
   */
  public void finish() throws IOException {
    lifecycle.finish(
        () -> {
          try {
            sink.finish();
          } finally {
            closeEncoder();
          }
        });
  }

  /**
   * Gives the video up and frees the encoder: a file's temporary data is removed and a file
   * already at the target stays as it was; a stream is closed. Does nothing once finished or
   * aborted.
   */
  public void abort() {
    lifecycle.abort();
  }

  /**
   * Aborts unless {@link #finish()} or {@link #abort()} came first, so that an exception inside
   * try-with-resources leaves no partial video and an existing file untouched.
   *
   * @throws IllegalStateException after aborting, when the writer was neither finished nor
   *     aborted: the video was thrown away (suppressed when an exception is on its way already)
   */
  @Override
  public void close() {
    lifecycle.close();
  }

  private void giveUp() {
    try {
      sink.abort();
    } finally {
      closeEncoder();
    }
  }

  private void closeEncoder() {
    if (encoder != null) {
      encoder.close();
    }
  }

  /**
   * Encodes an image: one whose raster the library reads directly is converted in native code
   * straight into the encoder's picture; any other is converted in Java first.
   */
  private void encode(BufferedImage image, long timestampMicros, boolean timed)
      throws IOException {
    Objects.requireNonNull(image, "image must not be null");
    if (image.getWidth() != width || image.getHeight() != height) {
      throw sizeMismatch(image.getWidth(), image.getHeight());
    }
    ImageRaster raster = ImageRaster.of(image);
    if (raster != null) {
      encode(encoder -> encoder.encodeRgb(raster.pixels(), raster.offset(),
          raster.scanlineStride(), raster.imageType(), width, height), timestampMicros, timed);
      return;
    }
    if (converted == null) {
      converted = I420Picture.allocate(width, height);
    }
    ImageConversions.toI420(image, converted);
    encode(encoder -> encoder.encode(converted), timestampMicros, timed);
  }

  private I420Picture checkSize(I420Picture picture) {
    Objects.requireNonNull(picture, "picture must not be null");
    if (picture.width() != width || picture.height() != height) {
      throw sizeMismatch(picture.width(), picture.height());
    }
    return picture;
  }

  private IllegalArgumentException sizeMismatch(int otherWidth, int otherHeight) {
    return new IllegalArgumentException(
        "picture is " + otherWidth + "x" + otherHeight + " but this video is " + width + "x"
            + height);
  }

  private void encode(
      Function<H264Encoder, EncodedFrame> encoding, long timestampMicros, boolean timed)
      throws IOException {
    lifecycle.checkOpen();
    if (timed && timedBefore && timestampMicros <= lastTimestamp) {
      // Checked before encoding: a picture the encoder has seen must reach the video.
      throw new IllegalArgumentException(
          "time stamps must increase: " + timestampMicros + " µs after " + lastTimestamp + " µs");
    }
    if (encoder == null) {
      encoder = new H264Encoder(config, describedLayers(config), null);
      encoder.setBitrate(bitrate);
    }
    EncodedFrame frame = encoding.apply(encoder);
    if (frame == null) {
      return; // skipped by rate control, when the configuration allows it
    }
    try {
      if (timed) {
        sink.write(frame, timestampMicros);
      } else {
        sink.write(frame);
      }
    } catch (IllegalArgumentException refused) {
      // The next pictures must not refer to the one left out.
      encoder.requestKeyFrame();
      throw refused;
    } catch (IOException failure) {
      lifecycle.abort(); // the sink has given up already
      throw failure;
    }
    if (timed) {
      timedBefore = true;
      lastTimestamp = timestampMicros;
    }
    pictures++;
  }

  private static void checkSettings(int width, int height, double fps) {
    if (width < H264Encoder.MIN_SIZE || height < H264Encoder.MIN_SIZE || width % 2 != 0
        || height % 2 != 0) {
      throw new IllegalArgumentException(
          "width and height must be even and at least " + H264Encoder.MIN_SIZE + ", were "
              + width + "x" + height);
    }
    if (!(fps > 0 && fps <= Mp4Writer.MAX_FRAME_RATE)) {
      throw new IllegalArgumentException(
          "fps must be above 0 and at most " + (int) Mp4Writer.MAX_FRAME_RATE + ", was " + fps);
    }
  }
}
