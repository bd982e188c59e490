package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/** Runs ffmpeg, the independent peer the tests compare against. */
public final class FfmpegTool {
  private FfmpegTool() {}

  /** A folder for test files: $TQ_TEST_WORK_DIR/name when set, else a fresh temporary one. */
  public static Path workDir(String name) throws IOException {
    String base = System.getenv("TQ_TEST_WORK_DIR");
    if (base == null || base.isEmpty()) {
      return Files.createTempDirectory("tq-" + name);
    }
    Path dir = Path.of(base, name);
    Files.createDirectories(dir);
    return dir;
  }

  /**
   * Runs ffmpeg with the arguments (after -hide_banner -loglevel error -y) and returns what it
   * wrote to standard error; fails the test with that text when ffmpeg exits non-zero.
   */
  public static String run(String... arguments) throws IOException, InterruptedException {
    List<String> command = new ArrayList<>(List.of("ffmpeg", "-hide_banner", "-nostdin", "-y"));
    command.addAll(List.of(arguments));
    Path log = Files.createTempFile("ffmpeg", ".log");
    try {
      Process process =
          new ProcessBuilder(command)
              .redirectErrorStream(true)
              .redirectOutput(log.toFile())
              .start();
      if (!process.waitFor(5, TimeUnit.MINUTES)) {
        process.destroyForcibly();
        fail("ffmpeg timed out: " + command);
      }
      String output = Files.readString(log, StandardCharsets.UTF_8);
      if (process.exitValue() != 0) {
        fail("ffmpeg failed (" + process.exitValue() + "): " + command + "\n" + output);
      }
      return output;
    } finally {
      Files.deleteIfExists(log);
    }
  }

  /** Writes `frames` pictures of a moving test clip as raw I420 (yuv420p). */
  public static Path testClip(Path dir, int width, int height, int frames)
      throws IOException, InterruptedException {
    Path clip = dir.resolve("clip-" + width + "x" + height + "-" + frames + ".yuv");
    run(
        "-loglevel", "error", "-f", "lavfi",
        "-i", "testsrc2=size=" + width + "x" + height + ":rate=30",
        "-frames:v", String.valueOf(frames), "-pix_fmt", "yuv420p", "-f", "rawvideo",
        clip.toString());
    return clip;
  }

  /** Decodes an H.264 file with ffmpeg's own decoder into raw I420; returns its bytes. */
  public static byte[] decodeToI420(Path h264, Path output)
      throws IOException, InterruptedException {
    run(
        "-loglevel", "error", "-xerror", "-f", "h264", "-i", h264.toString(),
        "-pix_fmt", "yuv420p", "-f", "rawvideo", output.toString());
    return Files.readAllBytes(output);
  }

  /** PSNR in dB of two equally long byte sequences (infinity when identical). */
  public static double psnr(byte[] a, int aOffset, byte[] b, int bOffset, int length) {
    double squared = 0;
    for (int i = 0; i < length; i++) {
      int d = (a[aOffset + i] & 0xFF) - (b[bOffset + i] & 0xFF);
      squared += d * d;
    }
    if (squared == 0) {
      return Double.POSITIVE_INFINITY;
    }
    double mse = squared / length;
    return 10 * Math.log10(255.0 * 255.0 / mse);
  }

  /**
   * Asserts that picture {@code i} is ffmpeg's picture {@code i} within the drift OpenH264's B
   * slices show (above {@code floor} dB: 38 without B-pyramid), and clearly nearer to it than to
   * either neighbour.
   */
  public static void assertShownInOrder(
      List<byte[]> reference, List<byte[]> pictures, int i, double floor) {
    double same = psnr(reference.get(i), pictures.get(i));
    assertTrue(same > floor, "picture " + i + ": " + same + " dB");
    for (int neighbour : new int[] {i - 1, i + 1}) {
      if (neighbour >= 0 && neighbour < reference.size()) {
        double other = psnr(reference.get(neighbour), pictures.get(i));
        assertTrue(other < same - 6, "picture " + i + " is as close to " + neighbour);
      }
    }
  }

  private static double psnr(byte[] a, byte[] b) {
    return psnr(a, 0, b, 0, a.length);
  }
}
