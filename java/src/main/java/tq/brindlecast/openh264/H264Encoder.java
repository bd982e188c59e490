package tq.brindlecast.openh264;

import java.util.Collections;
import java.util.List;
import java.util.Objects;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/**
 * Encodes I420 pictures into H.264 (Annex B) with OpenH264, one {@link EncodedFrame} per picture.
 *
 * <pre>{@code
 * EncoderConfig config = new EncoderConfig().setRcMode(RateControlMode.BITRATE);
 * try (H264Encoder encoder = new H264Encoder(config)) {
 *   encoder.setBitrate(2000);                          // units of 1024 bit/s
 *   for (I420Picture picture : pictures) {
 *     EncodedFrame frame = encoder.encode(picture);    // null: skipped by rate control
 *     if (frame != null) {
 *       out.write(frame.data());
 *     }
 *   }
 * }
 * }</pre>
 *
 * <p>The encoder is built on the first picture, from the configuration given to the constructor
 * (or to {@link #applyConfig}), the picture size and the bit rate; a picture of another size
 * rebuilds it. The first picture is an IDR picture, and so is the one after {@link
 * #requestKeyFrame()}.
 *
 * <p>Every method checks its arguments before it reaches the native library. Calls on one encoder
 * are serialised, so it may be shared between threads; different encoders run in parallel. The
 * library's messages go to the listener given to the constructor, or without one to the {@link
 * System.Logger} named {@code tq.brindlecast.openh264} (errors at {@code ERROR}, the rest at {@code
 * DEBUG}). {@link #close()} frees the native encoder; an encoder that is never closed is freed once
 * it is unreachable.
 */
public final class H264Encoder implements AutoCloseable {
  /** The bits per second in one unit of bit rate: every bit rate here counts units of 1024 bit/s. */
  public static final int BITRATE_UNIT = 1024;

  /** The bit rate a new encoder starts with, in units of 1024 bit/s. */
  public static final int DEFAULT_BITRATE = 320;

  /** The highest bit rate, in units of 1024 bit/s: the largest whose bit/s fit in an {@code int}. */
  public static final int MAX_BITRATE = Integer.MAX_VALUE / BITRATE_UNIT;

  /** The smallest width and height OpenH264 encodes. */
  public static final int MIN_SIZE = 16;

  /**
   * The highest frame rate OpenH264's rate control knows: it clips faster rates to this and
   * budgets each picture for this many per second. Above it, the encoder hands OpenH264 the bit
   * rate scaled by this rate over the real one, so the stream still holds the requested rate.
   */
  public static final float OPENH264_MAX_FRAME_RATE = 60f;

  private final NativeContext context;
  // Written under the context's lock together with the native copy; read without it.
  private volatile EncoderConfig config;
  private volatile List<SpatialLayerConfig> layers;
  // The bit rate the caller asked for; OpenH264 holds it scaled (see bitrateForOpenH264).
  private volatile int bitrate = DEFAULT_BITRATE;
  // Used under the context's lock.
  private final PlaneStaging staging = new PlaneStaging();

  /**
   * Creates an encoder with one default {@link SpatialLayerConfig} per spatial layer, each at the
   * configuration's maximum frame rate; messages go to the logger.
   *
   * @param config the stream settings, copied
   * @throws NullPointerException if {@code config} is null
   * @throws IllegalArgumentException if the settings contradict each other
   * @throws CodecException if the native context could not be created or configured
   */
  public H264Encoder(EncoderConfig config) {
    this(config, defaultLayers(config), null);
  }

  /**
   * Creates an encoder.
   *
   * @param config the stream settings, copied
   * @param layers one configuration per spatial layer ({@link EncoderConfig#getSpatialLayers()}
   *     of them), copied
   * @param listener receives this encoder's messages; null sends them to the logger
   * @throws NullPointerException if {@code config}, {@code layers} or one of its elements is null
   * @throws IllegalArgumentException if the settings contradict each other or the number of
   *     layers differs from the configuration's spatial layer count
   * @throws CodecException if the native context could not be created or configured
   */
  public H264Encoder(
      EncoderConfig config, List<SpatialLayerConfig> layers, MessageListener listener) {
    EncoderConfig configCopy = checkConfig(config);
    List<SpatialLayerConfig> layerCopies = checkLayers(configCopy, layers);
    this.context =
        new NativeContext(
            this,
            "H264Encoder",
            () -> Native.OpenH264TQEncoderCreate(null, null, null, null),
            Native::OpenH264TQEncoderDestroy,
            listener);
    try {
      context.call(handle -> store(handle, configCopy, layerCopies));
      if (configCopy.getMaxFrameRate() > OPENH264_MAX_FRAME_RATE) {
        context.call(handle -> pushBitrate(handle, DEFAULT_BITRATE, configCopy));
      }
    } catch (RuntimeException failure) {
      context.close();
      throw failure;
    }
    this.config = configCopy;
    this.layers = layerCopies;
  }

  /**
   * Encodes one picture.
   *
   * <p>When planes share one array (as {@link I420Picture#fromPacked} makes them), the planes
   * after the first are copied into arrays the encoder keeps for the next picture, which is
   * cheaper than handing the shared array to the library once per plane. Pictures with an array
   * per plane ({@link I420Picture#ofPlanes}) go to the library as they are, which copies least.
   *
   * @param picture the picture; at least {@value #MIN_SIZE} pixels wide and high, with an even
   *     width and height
   * @return the picture's bytes, or null when the encoder produced none (rate control skipped the
   *     picture, or OpenH264 refused it; its messages tell)
   * @throws NullPointerException if {@code picture} is null
   * @throws IllegalArgumentException if the picture is smaller than OpenH264 encodes or has an odd
   *     width or height
   * @throws CodecException if the encoder could not be built for this picture
   * @throws IllegalStateException if the encoder is closed
   */
  public EncodedFrame encode(I420Picture picture) {
    Objects.requireNonNull(picture, "picture must not be null");
    checkSize(picture.width(), picture.height());
    int[] frameSize = new int[1];
    byte[] data =
        context.call(
            handle -> {
              PlaneStaging.Input input = staging.prepare(picture);
              return Native.OpenH264TQEncoderEncodei420(
                  handle, picture.width(), picture.height(), input.planes(), input.strides(),
                  input.offsets(), 0L, frameSize);
            });
    return data == null ? null : new EncodedFrame(data);
  }

  /**
   * Encodes one picture given as RGB pixels laid out as a {@code BufferedImage} raster keeps them
   * (see {@code ImageRaster.of}). The library converts them to I420 (BT.601, limited range, the
   * values of {@code ImageConversions.toI420}) into a picture buffer it keeps, and encodes that:
   * the pixels are read once, in native code, and no I420 array is made or handed over. Alpha is
   * ignored; premultiplied colour is divided by it first.
   *
   * @param pixels the raster's array: {@code int[]} for the types {@code TYPE_INT_RGB} (1) to
   *     {@code TYPE_INT_BGR} (4), {@code byte[]} for {@code TYPE_3BYTE_BGR} (5) to {@code
   *     TYPE_4BYTE_ABGR_PRE} (7)
   * @param offset the element of the first pixel
   * @param scanlineStride the elements from one row to the next
   * @param imageType the {@code BufferedImage} type the array is laid out as, 1 to 7
   * @param width the width in pixels; at least {@value #MIN_SIZE}, even
   * @param height the height in pixels; at least {@value #MIN_SIZE}, even
   * @return the picture's bytes, or null when the encoder produced none (rate control skipped the
   *     picture, or OpenH264 refused it; its messages tell)
   * @throws NullPointerException if {@code pixels} is null
   * @throws IllegalArgumentException if the size is one {@link #encode(I420Picture)} refuses, the
   *     type is not 1 to 7, the array is not of the type's kind or does not hold every row
   * @throws CodecException if the encoder could not be built for this picture
   * @throws IllegalStateException if the encoder is closed
   */
  public EncodedFrame encodeRgb(
      Object pixels, int offset, int scanlineStride, int imageType, int width, int height) {
    Objects.requireNonNull(pixels, "pixels must not be null");
    checkSize(width, height);
    checkRaster(pixels, offset, scanlineStride, imageType, width, height);
    int[] frameSize = new int[1];
    byte[] data = context.call(handle -> Native.OpenH264TQEncoderEncodeRgb(handle, pixels, offset,
        scanlineStride, imageType, width, height, frameSize));
    return data == null ? null : new EncodedFrame(data);
  }

  private static void checkSize(int width, int height) {
    if (width < MIN_SIZE || height < MIN_SIZE) {
      throw new IllegalArgumentException(
          "picture must be at least " + MIN_SIZE + "x" + MIN_SIZE + " for OpenH264, was "
              + width + "x" + height);
    }
    if (width % 2 != 0 || height % 2 != 0) {
      // H.264 4:2:0 cannot describe an odd size; OpenH264 would drop the last column or row.
      throw new IllegalArgumentException(
          "picture width and height must be even for H.264 4:2:0, was " + width + "x" + height);
    }
  }

  private static void checkRaster(
      Object pixels, int offset, int scanlineStride, int imageType, int width, int height) {
    if (imageType < 1 || imageType > 7) {
      throw new IllegalArgumentException("imageType must be a BufferedImage type from 1"
          + " (TYPE_INT_RGB) to 7 (TYPE_4BYTE_ABGR_PRE), was " + imageType);
    }
    boolean ints = imageType <= 4;
    int length;
    if (ints && pixels instanceof int[] array) {
      length = array.length;
    } else if (!ints && pixels instanceof byte[] array) {
      length = array.length;
    } else {
      throw new IllegalArgumentException("pixels of image type " + imageType + " must be an "
          + (ints ? "int[]" : "byte[]") + ", was " + pixels.getClass().getSimpleName());
    }
    long row = (long) width * (ints ? 1 : imageType == 5 ? 3 : 4);
    long end = offset + (long) (height - 1) * scanlineStride + row;
    if (offset < 0 || scanlineStride < row || end > length) {
      throw new IllegalArgumentException("pixels of " + length + " elements do not hold " + width
          + "x" + height + " pixels from offset " + offset + " with rows " + scanlineStride
          + " apart");
    }
  }

  /**
   * Makes the next encoded picture an IDR picture.
   *
   * @throws IllegalStateException if the encoder is closed
   */
  public void requestKeyFrame() {
    context.call(
        handle -> {
          Native.OpenH264TQEncoderSetForceKeyFrame(handle, 1);
          return null;
        });
  }

  /**
   * Tells whether the next encoded picture will be an IDR picture because one was requested (or
   * because no picture has been encoded yet).
   *
   * @return true if the next picture will be an IDR picture
   * @throws IllegalStateException if the encoder is closed
   */
  public boolean isKeyFrameRequested() {
    return context.call(Native::OpenH264TQEncoderGetForceKeyFrame) > 0;
  }

  /**
   * {@return the target bit rate in units of 1024 bit/s: the stored value before the first picture,
   * the running encoder's own figure afterwards (above {@link #OPENH264_MAX_FRAME_RATE} pictures/s,
   * scaled back from what OpenH264 holds)}
   *
   * @throws CodecException if the running encoder cannot report it
   * @throws IllegalStateException if the encoder is closed
   */
  public int getBitrate() {
    long bitrate = context.call(Native::OpenH264TQEncoderGetBitrate);
    if (bitrate < 0) {
      throw new CodecException("OpenH264 could not report the bit rate");
    }
    int requested = this.bitrate;
    float frameRate = config.getMaxFrameRate();
    if (bitrate == bitrateForOpenH264(requested, frameRate)) {
      return requested;
    }
    double scaled = bitrate * (double) Math.max(frameRate, OPENH264_MAX_FRAME_RATE)
        / OPENH264_MAX_FRAME_RATE;
    return (int) Math.min(MAX_BITRATE, Math.round(scaled));
  }

  /**
   * {@return the bit rate to hand OpenH264 so that a stream at {@code frameRate} pictures/s holds
   * {@code bitrate}: OpenH264 budgets each picture for at most {@link #OPENH264_MAX_FRAME_RATE}
   * pictures/s, so faster streams get the bit rate scaled down by that over their rate}
   *
   * @param bitrate the wanted bit rate in units of 1024 bit/s
   * @param frameRate the stream's pictures per second
   */
  static int bitrateForOpenH264(int bitrate, float frameRate) {
    if (frameRate <= OPENH264_MAX_FRAME_RATE) {
      return bitrate;
    }
    return (int) Math.max(1, Math.round(bitrate * (double) OPENH264_MAX_FRAME_RATE / frameRate));
  }

  /**
   * Sets the target and maximum bit rate of all layers together. Before the first picture it is
   * used when the encoder is built; afterwards the running encoder changes at once. Above {@link
   * #OPENH264_MAX_FRAME_RATE} pictures/s OpenH264 gets it scaled so the stream still holds it.
   *
   * @param bitrate units of 1024 bit/s, 1 to {@link #MAX_BITRATE}
   * @throws IllegalArgumentException if {@code bitrate} is out of range
   * @throws IllegalStateException if the encoder is closed
   */
  public void setBitrate(int bitrate) {
    if (bitrate < 1 || bitrate > MAX_BITRATE) {
      throw new IllegalArgumentException(
          "bitrate must be between 1 and " + MAX_BITRATE + " units of " + BITRATE_UNIT
              + " bit/s, was " + bitrate);
    }
    context.call(
        handle -> {
          this.bitrate = bitrate;
          return pushBitrate(handle, bitrate, config);
        });
  }

  /**
   * Sets how much work the encoder spends per picture; a running encoder changes at once.
   *
   * @param mode the complexity mode
   * @throws NullPointerException if {@code mode} is null
   * @throws CodecException if the running encoder refuses the mode
   * @throws IllegalStateException if the encoder is closed
   */
  public void setComplexityMode(ComplexityMode mode) {
    Objects.requireNonNull(mode, "mode must not be null");
    int code =
        context.call(
            handle -> {
              // The library stores the mode even when a running encoder refuses it.
              config = config.copy().setComplexityMode(mode);
              return Native.OpenH264TQEncoderSetComplexityMode(handle, mode.value());
            });
    if (code != 0) {
      throw new CodecException("OpenH264 refused complexity mode " + mode + " (code " + code + ")");
    }
  }

  /**
   * Replaces the configuration and pushes it into the running encoder (before the first picture
   * it is simply stored). The picture size and the bit rate stay as they are.
   *
   * @param config the new stream settings, copied
   * @param layers one configuration per spatial layer, copied
   * @throws NullPointerException if {@code config}, {@code layers} or one of its elements is null
   * @throws IllegalArgumentException if the settings contradict each other or the number of
   *     layers differs from the configuration's spatial layer count
   * @throws CodecException if OpenH264 refuses the new configuration; the running encoder then
   *     keeps its old settings, and the new ones are used when it is next rebuilt
   * @throws IllegalStateException if the encoder is closed
   */
  public void applyConfig(EncoderConfig config, List<SpatialLayerConfig> layers) {
    EncoderConfig configCopy = checkConfig(config);
    List<SpatialLayerConfig> layerCopies = checkLayers(configCopy, layers);
    int code =
        context.call(
            handle -> {
              float oldFrameRate = this.config.getMaxFrameRate();
              store(handle, configCopy, layerCopies);
              this.config = configCopy;
              this.layers = layerCopies;
              int applied = Native.OpenH264TQEncoderApplyConfigChanges(handle, 0L);
              int wanted = this.bitrate;
              if (bitrateForOpenH264(wanted, oldFrameRate)
                  != bitrateForOpenH264(wanted, configCopy.getMaxFrameRate())) {
                pushBitrate(handle, wanted, configCopy);
              }
              return applied;
            });
    if (code != 0) {
      throw new CodecException("OpenH264 refused the new configuration (code " + code + ")");
    }
  }

  /**
   * {@return a copy of the current stream settings}
   *
   * @throws IllegalStateException if the encoder is closed
   */
  public EncoderConfig getConfig() {
    context.checkOpen();
    return config.copy();
  }

  /**
   * {@return copies of the current spatial layer settings}
   *
   * @throws IllegalStateException if the encoder is closed
   */
  public List<SpatialLayerConfig> getLayerConfigs() {
    context.checkOpen();
    return layers.stream().map(SpatialLayerConfig::copy).toList();
  }

  /**
   * Frees the native encoder. Later calls throw {@link IllegalStateException}; closing again does
   * nothing.
   */
  @Override
  public void close() {
    context.close();
  }

  private static Void pushBitrate(long handle, int bitrate, EncoderConfig config) {
    Native.OpenH264TQEncoderSetBitrate(
        handle, bitrateForOpenH264(bitrate, config.getMaxFrameRate()));
    return null;
  }

  private static Void store(long handle, EncoderConfig config, List<SpatialLayerConfig> layers) {
    int code = Native.OpenH264TQEncoderSetConfig(handle, config);
    if (code != 0) {
      throw new CodecException("the encoder configuration was refused (code " + code + ")");
    }
    for (int layer = 0; layer < layers.size(); layer++) {
      code = Native.OpenH264TQEncoderSetSpatialLayerConfig(handle, layers.get(layer), layer);
      if (code != 0) {
        throw new CodecException(
            "the configuration of spatial layer " + layer + " was refused (code " + code + ")");
      }
    }
    return null;
  }

  private static EncoderConfig checkConfig(EncoderConfig config) {
    Objects.requireNonNull(config, "config must not be null");
    return config.copy().validate();
  }

  private static List<SpatialLayerConfig> checkLayers(
      EncoderConfig config, List<SpatialLayerConfig> layers) {
    Objects.requireNonNull(layers, "layers must not be null");
    if (layers.size() != config.getSpatialLayers()) {
      throw new IllegalArgumentException(
          "layers must hold one configuration per spatial layer: config has "
              + config.getSpatialLayers() + ", layers has " + layers.size());
    }
    for (int i = 0; i < layers.size(); i++) {
      if (layers.get(i) == null) {
        throw new NullPointerException("layers[" + i + "] must not be null");
      }
    }
    return layers.stream().map(SpatialLayerConfig::copy).toList();
  }

  private static List<SpatialLayerConfig> defaultLayers(EncoderConfig config) {
    Objects.requireNonNull(config, "config must not be null");
    SpatialLayerConfig layer = new SpatialLayerConfig().setFrameRate(config.getMaxFrameRate());
    return Collections.nCopies(config.getSpatialLayers(), layer);
  }
}
