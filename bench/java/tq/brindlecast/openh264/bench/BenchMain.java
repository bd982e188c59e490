package tq.brindlecast.openh264.bench;

import com.sun.management.OperatingSystemMXBean;
import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * The Java side of the overhead benchmark: the same pictures as the native driver, through the
 * library's natives ("jni") and through its Java API ("api"; encoding also "api-planes", a
 * picture's planes in separate arrays rather than one packed array; decoding also "api-reuse",
 * which hands each picture's array back to the decoder).
 *
 * <p>Each side is first warmed up on small pictures until the JIT has compiled its code ({@link
 * JitWarmUp}), then runs one untimed pass of the real pictures, which brings the codec up and
 * writes the outputs that run.sh compares with the native driver's. Then the sides take
 * turns for the timed passes (and, under run.sh, the JVM takes turns with the native driver: see
 * {@link Turns}), each pass printed as one line:
 *
 * <pre>
 * pass side=jni op=encode size=1280x720 pass=1 pictures=120 seconds=1.712 fps=70.093 cpu=1.705
 * </pre>
 */
public final class BenchMain {
  /** The process's CPU time, its garbage collector and compiler threads included. */
  private static final OperatingSystemMXBean PROCESS =
      (OperatingSystemMXBean) ManagementFactory.getOperatingSystemMXBean();

  private BenchMain() {}

  public static void main(String[] args) throws IOException {
    BenchOptions options;
    try {
      options = BenchOptions.parse(args);
    } catch (IllegalArgumentException badArguments) {
      System.err.println(badArguments.getMessage());
      System.exit(2);
      return;
    }
    boolean encoding = options.op().equals("encode");
    if (encoding) {
      JitWarmUp.encoding(options);
    } else {
      JitWarmUp.decoding(options);
    }
    List<BenchSide> sides =
        encoding
            ? encodeSides(
                options,
                BenchFiles.readPictures(
                    options.input(), options.width(), options.height(), options.frames()))
            : decodeSides(options, BenchFiles.readUnits(options.input(), options.sizes()));
    try {
      run(options, sides);
    } finally {
      sides.forEach(BenchSide::close);
    }
  }

  /** The encoding sides named by --sides, in that order, or all of them, on these pictures. */
  static List<BenchSide> encodeSides(BenchOptions options, List<byte[]> pictures) {
    List<BenchSide> sides = new ArrayList<>();
    for (String name : options.sidesOr(List.of("jni", "api", "api-planes"))) {
      sides.add(
          switch (name) {
            case "jni" -> new EncodeSides.ThroughNative(options, pictures);
            case "api" -> new EncodeSides.ThroughApi(options, pictures, false);
            case "api-planes" -> new EncodeSides.ThroughApi(options, pictures, true);
            case "image-mp4" -> new ImageSides.ToMp4(options, pictures, true, false);
            case "image-bgr-mp4" -> new ImageSides.ToMp4(options, pictures, true, true);
            case "i420-mp4" -> new ImageSides.ToMp4(options, pictures, false, false);
            default -> throw new IllegalArgumentException("no encoding side " + name);
          });
    }
    return sides;
  }

  /** The decoding sides named by --sides, in that order, or all of them, on these units. */
  static List<BenchSide> decodeSides(BenchOptions options, List<byte[]> units) {
    List<BenchSide> sides = new ArrayList<>();
    for (String name : options.sidesOr(List.of("jni", "api", "api-reuse"))) {
      sides.add(
          switch (name) {
            case "jni" -> new DecodeSides.ThroughNative(units);
            case "api" -> new DecodeSides.ThroughApi(units, false);
            case "api-reuse" -> new DecodeSides.ThroughApi(units, true);
            case "mp4-images", "mp4-images-new", "mp4-images-reuse" ->
                new ImageSides.FromMp4(options.mp4(), name);
            default -> throw new IllegalArgumentException("no decoding side " + name);
          });
    }
    return sides;
  }

  private static void run(BenchOptions options, List<BenchSide> sides) throws IOException {
    boolean encoding = options.op().equals("encode");
    int[] expected = new int[sides.size()];
    for (int i = 0; i < sides.size(); i++) {
      expected[i] = firstPass(options, sides.get(i), encoding);
    }
    try (Turns turns =
        options.turnIn() == null
            ? null
            : new Turns(options.turnIn(), options.turnOut(), options.goFirst())) {
      timedPasses(options, sides, expected, turns);
    }
  }

  private static void timedPasses(
      BenchOptions options, List<BenchSide> sides, int[] expected, Turns turns)
      throws IOException {
    for (int pass = 1; pass <= options.passes(); pass++) {
      if (turns != null) {
        turns.beforeTurn();
      }
      for (int i = 0; i < sides.size(); i++) {
        BenchSide side = sides.get(i);
        long start = System.nanoTime();
        long cpuStart = PROCESS.getProcessCpuTime();
        int produced = side.pass(null);
        double cpuSeconds = (PROCESS.getProcessCpuTime() - cpuStart) * 1e-9;
        double seconds = (System.nanoTime() - start) * 1e-9;
        if (produced != expected[i]) {
          throw new IllegalStateException(
              side.name() + " produced " + produced + " pictures instead of " + expected[i]);
        }
        System.out.printf(
            Locale.ROOT,
            "pass side=%s op=%s size=%dx%d pass=%d pictures=%d seconds=%.6f fps=%.3f cpu=%.6f%n",
            side.name(), options.op(), options.width(), options.height(), pass, produced, seconds,
            produced / seconds, cpuSeconds);
      }
      if (turns != null) {
        turns.afterTurn();
      }
    }
  }

  private static int firstPass(BenchOptions options, BenchSide side, boolean encoding)
      throws IOException {
    Path prefix = options.outputPrefix();
    if (prefix == null) {
      return side.pass(null);
    }
    Path path = BenchFiles.output(prefix, side.name(), encoding ? ".h264" : ".yuv");
    try (OutputSink sink = new OutputSink(path, encoding)) {
      return side.pass(sink);
    }
  }
}
