package tq.brindlecast.openh264.tool;

import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import tq.brindlecast.openh264.ComplexityMode;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.MessageListener;
import tq.brindlecast.openh264.RateControlMode;
import tq.brindlecast.openh264.SliceMode;
import tq.brindlecast.openh264.SpatialLayerConfig;
import tq.brindlecast.openh264.video.VideoWriter;

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
        --rc MODE           rate control: bitrate (default), quality, buffer, timestamp, off;
                            off and buffer take no --bitrate
        --intra-period N    pictures from one IDR picture to the next; 0: only the first (default)
        --complexity LEVEL  encoder effort: low (default), medium, high
        --entropy CODING    cavlc (default, Constrained Baseline) or cabac (Main/High)
        --slices N          slices per picture, 1 to 32 (default 1); OpenH264 may make fewer,
                            the summary reports how many it made
        --threads N         encoder threads; 0: one per core (default 1); one with --slices
        --frame-skip on|off whether rate control may skip pictures (default off: every
                            picture is encoded)
      """;

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

  /** The VUI's video_format for "unspecified". */
  private static final int UNSPECIFIED_VIDEO_FORMAT = 5;

  private static final Map<String, Boolean> ON_OFF = Map.of("on", true, "off", false);

  final EncoderConfig config;
  final SpatialLayerConfig layer;
  /** The target bit rate in units of 1024 bit/s, or 0 when rate control has none. */
  final int bitrate;
  final int slices;

  private EncoderSettings(
      EncoderConfig config, SpatialLayerConfig layer, int bitrate, int slices) {
    this.config = config;
    this.layer = layer;
    this.bitrate = bitrate;
    this.slices = slices;
  }

  /** Reads the encoder options for pictures of the given format. */
  static EncoderSettings from(Options options, PictureFormat format) throws UsageException {
    double fps = format.fps();
    RateControlMode rc = options.choice("rc", RC_MODES, RateControlMode.BITRATE);
    boolean hasTarget = rc != RateControlMode.OFF && rc != RateControlMode.BUFFER_BASED;
    if (!hasTarget && options.has("bitrate")) {
      throw new UsageException(
          "--bitrate has no effect with --rc " + options.string("rc").toLowerCase(Locale.ROOT)
              + "; leave it out, or choose --rc bitrate, quality or timestamp");
    }
    int bitrate =
        hasTarget
            ? options.integer("bitrate",
                VideoWriter.defaultBitrate(format.width(), format.height(), fps), 1,
                H264Encoder.MAX_BITRATE)
            : 0;
    int slices = options.integer("slices", 1, 1, 32);
    EncoderConfig config =
        new EncoderConfig()
            .setMaxFrameRate((float) fps)
            .setRcMode(rc)
            .setIntraPeriod(options.integer("intra-period", 0, 0, 1_000_000))
            .setComplexityMode(options.choice("complexity", COMPLEXITIES, ComplexityMode.LOW))
            .setEntropyCodingModeFlag(options.choice("entropy", CABAC, false))
            .setMultipleThreadIdc(options.integer("threads", 1, 0, 64))
            .setEnableFrameSkip(options.choice("frame-skip", ON_OFF, false));
    SpatialLayerConfig layer = new SpatialLayerConfig().setFrameRate((float) fps);
    if (slices > 1) {
      layer.setSliceMode(SliceMode.FIXED_SLICE_NUMBER).setSliceNum(slices);
    }
    if (format.fullRange()) {
      layer.setVideoSignalTypePresent(true).setVideoFormat(UNSPECIFIED_VIDEO_FORMAT)
          .setFullRange(true);
    }
    return new EncoderSettings(config, layer, bitrate, slices);
  }

  /** Creates an encoder with these settings. */
  H264Encoder open(MessageListener listener) {
    H264Encoder encoder = new H264Encoder(config, List.of(layer), listener);
    try {
      if (bitrate > 0) {
        encoder.setBitrate(bitrate);
      }
    } catch (RuntimeException failure) {
      encoder.close();
      throw failure;
    }
    return encoder;
  }
}
