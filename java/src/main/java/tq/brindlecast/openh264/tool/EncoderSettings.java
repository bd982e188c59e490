package tq.brindlecast.openh264.tool;

import java.util.List;
import java.util.Map;
import java.util.Set;
import tq.brindlecast.openh264.ComplexityMode;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.MessageListener;
import tq.brindlecast.openh264.RateControlMode;
import tq.brindlecast.openh264.SliceMode;
import tq.brindlecast.openh264.SpatialLayerConfig;

/** The encoder options shared by {@code encode} and {@code roundtrip}. */
final class EncoderSettings {
  static final Set<String> OPTIONS =
      Set.of(
          "bitrate", "rc", "intra-period", "complexity", "entropy", "slices", "threads",
          "frame-skip");

  static final String USAGE =
      """
        --bitrate N         target bit rate in units of 1024 bit/s; default: about 0.074 bit
                            per pixel, 2000 for 1280x720 at 30 pictures/s
        --rc MODE           rate control: bitrate (default), quality, buffer, timestamp, off
        --intra-period N    pictures from one IDR picture to the next; 0: only the first (default)
        --complexity LEVEL  encoder effort: low (default), medium, high
        --entropy CODING    cavlc (default, Constrained Baseline) or cabac (Main/High)
        --slices N          slices per picture, 1 to 32 (default 1)
        --threads N         encoder threads; 0: one per core (default 1); one with --slices
        --frame-skip on|off whether rate control may skip pictures (default on)
      """;

  /** Bits per pixel of the default bit rate: 2000 units of 1024 bit/s at 1280x720 and 30/s. */
  private static final double PIXELS_PER_UNIT = 1280.0 * 720 * 30 / 2000;

  private static final Map<String, RateControlMode> RC_MODES =
      Map.of(
          "quality", RateControlMode.QUALITY,
          "bitrate", RateControlMode.BITRATE,
          "buffer", RateControlMode.BUFFER_BASED,
          "timestamp", RateControlMode.TIMESTAMP,
          "off", RateControlMode.OFF);

  private static final Map<String, ComplexityMode> COMPLEXITIES =
      Map.of("low", ComplexityMode.LOW, "medium", ComplexityMode.MEDIUM, "high",
          ComplexityMode.HIGH);

  private static final Map<String, Boolean> CABAC = Map.of("cavlc", false, "cabac", true);

  private static final Map<String, Boolean> ON_OFF = Map.of("on", true, "off", false);

  final EncoderConfig config;
  final SpatialLayerConfig layer;
  final int bitrate;

  private EncoderSettings(EncoderConfig config, SpatialLayerConfig layer, int bitrate) {
    this.config = config;
    this.layer = layer;
    this.bitrate = bitrate;
  }

  /** Reads the encoder options for pictures of the given size and rate. */
  static EncoderSettings from(Options options, int width, int height, double fps)
      throws UsageException {
    int bitrate =
        options.integer("bitrate", defaultBitrate(width, height, fps), 1, H264Encoder.MAX_BITRATE);
    int slices = options.integer("slices", 1, 1, 32);
    EncoderConfig config =
        new EncoderConfig()
            .setMaxFrameRate((float) fps)
            .setRcMode(options.choice("rc", RC_MODES, RateControlMode.BITRATE))
            .setIntraPeriod(options.integer("intra-period", 0, 0, 1_000_000))
            .setComplexityMode(options.choice("complexity", COMPLEXITIES, ComplexityMode.LOW))
            .setEntropyCodingModeFlag(options.choice("entropy", CABAC, false))
            .setMultipleThreadIdc(options.integer("threads", 1, 0, 64))
            .setEnableFrameSkip(options.choice("frame-skip", ON_OFF, true));
    SpatialLayerConfig layer = new SpatialLayerConfig().setFrameRate((float) fps);
    if (slices > 1) {
      layer.setSliceMode(SliceMode.FIXED_SLICE_NUMBER).setSliceNum(slices);
    }
    return new EncoderSettings(config, layer, bitrate);
  }

  /** The default bit rate for a size and frame rate, in units of 1024 bit/s. */
  static int defaultBitrate(int width, int height, double fps) {
    long units = Math.round(width * (double) height * fps / PIXELS_PER_UNIT);
    return (int) Math.max(64, Math.min(units, H264Encoder.MAX_BITRATE));
  }

  /** Creates an encoder with these settings. */
  H264Encoder open(MessageListener listener) {
    H264Encoder encoder = new H264Encoder(config, List.of(layer), listener);
    try {
      encoder.setBitrate(bitrate);
    } catch (RuntimeException failure) {
      encoder.close();
      throw failure;
    }
    return encoder;
  }
}
