package tq.brindlecast.openh264.bench;

import java.nio.file.Path;
import java.util.List;

/** The command line of the Java driver; see {@link BenchMain} for the form. */
record BenchOptions(
    String op,
    int width,
    int height,
    Path input,
    Path sizes,
    Path outputPrefix,
    int frames,
    int bitrate,
    int passes,
    List<String> sides,
    Path turnIn,
    Path turnOut,
    boolean goFirst,
    Path mp4) {

  static final String USAGE =
      "usage: BenchMain encode --size WxH --input raw.yuv --frames N --bitrate UNITS"
          + " [--passes N] [--output-prefix PATH]"
          + " [--sides jni,api,api-planes,image-mp4,image-bgr-mp4,i420-mp4] [TURNS]\n"
          + "       BenchMain decode --size WxH --input in.h264 --sizes in.h264.sizes"
          + " [--passes N] [--output-prefix PATH]"
          + " [--sides jni,api,api-reuse,mp4-images,mp4-images-new,mp4-images-reuse]"
          + " [--mp4 FILE] [TURNS]\n"
          + "TURNS: --turn-in FIFO --turn-out FIFO --go first|second";

  /** The sides named by --sides, in that order, or else {@code all}. */
  List<String> sidesOr(List<String> all) {
    return sides.isEmpty() ? all : sides;
  }

  static BenchOptions parse(String[] args) {
    if (args.length < 1 || args.length % 2 == 0) {
      throw new IllegalArgumentException(USAGE);
    }
    String op = args[0];
    int width = 0;
    int height = 0;
    Path input = null;
    Path sizes = null;
    Path outputPrefix = null;
    int frames = 0;
    int bitrate = 0;
    int passes = 3;
    List<String> sides = List.of();
    Path turnIn = null;
    Path turnOut = null;
    String go = null;
    Path mp4 = null;
    for (int i = 1; i < args.length; i += 2) {
      String value = args[i + 1];
      switch (args[i]) {
        case "--size" -> {
          String[] parts = value.split("x");
          width = Integer.parseInt(parts[0]);
          height = Integer.parseInt(parts[1]);
        }
        case "--input" -> input = Path.of(value);
        case "--sizes" -> sizes = Path.of(value);
        case "--output-prefix" -> outputPrefix = Path.of(value);
        case "--frames" -> frames = Integer.parseInt(value);
        case "--bitrate" -> bitrate = Integer.parseInt(value);
        case "--passes" -> passes = Integer.parseInt(value);
        case "--sides" -> sides = List.of(value.split(","));
        case "--turn-in" -> turnIn = Path.of(value);
        case "--turn-out" -> turnOut = Path.of(value);
        case "--go" -> go = value;
        case "--mp4" -> mp4 = Path.of(value);
        default -> throw new IllegalArgumentException("unknown option " + args[i] + "\n" + USAGE);
      }
    }
    boolean noTurns = turnIn == null && turnOut == null && go == null;
    boolean turns =
        turnIn != null && turnOut != null && ("first".equals(go) || "second".equals(go));
    boolean complete = width > 0 && height > 0 && input != null && passes >= 0
        && (noTurns || turns);
    boolean valid =
        switch (op) {
          case "encode" -> complete && frames > 0 && bitrate > 0;
          case "decode" -> complete && sizes != null;
          default -> false;
        };
    if (!valid) {
      throw new IllegalArgumentException(USAGE);
    }
    return new BenchOptions(op, width, height, input, sizes, outputPrefix, frames, bitrate,
        passes, sides, turnIn, turnOut, "first".equals(go), mp4);
  }
}
