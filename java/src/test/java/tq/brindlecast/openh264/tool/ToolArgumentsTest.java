package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Bad command lines exit with 2, a one-line reason and the usage; help exits with 0. */
class ToolArgumentsTest {
  @TempDir Path dir;

  private static void assertUsageError(String reason, String... args) {
    ToolRun run = ToolRun.of(args);
    assertEquals(Main.USAGE, run.status(), run.toString());
    String[] lines = run.err().split("\n");
    assertTrue(lines[0].contains(reason), "first line '" + lines[0] + "' should say " + reason);
    assertTrue(run.err().contains("Usage: java -jar tqh264bridge.jar"), run.toString());
    assertEquals("", run.out(), "nothing on standard output");
  }

  @Test
  void missingOrUnknownCommandsAreUsageErrors() {
    assertUsageError("no command given");
    assertUsageError("unknown command 'transcode'", "transcode");
  }

  @Test
  void badOptionsAreNamedInTheReason() {
    assertUsageError("unknown option --bogus", "encode", "--bogus", "1", "--output", "x.h264");
    assertUsageError("unknown option -x", "roundtrip", "-x");
    assertUsageError("encode needs --output", "encode");
    assertUsageError("--bitrate must be a whole number from 1 to 2097151, was 'fast'",
        "roundtrip", "--bitrate", "fast");
    assertUsageError("--bitrate must be a whole number from 1 to 2097151, was '0'",
        "roundtrip", "--bitrate=0");
    assertUsageError(
        "--size must be WIDTHxHEIGHT with each side even and from 16 to 16384, was '8x8'",
        "roundtrip", "--size", "8x8");
    assertUsageError("--size must be WIDTHxHEIGHT with each side even", "roundtrip", "--size",
        "1281x720");
    assertUsageError("--size must be WIDTHxHEIGHT", "roundtrip", "--size", "1280");
    assertUsageError("--fps must be a number above 0", "roundtrip", "--fps", "-3");
    assertUsageError("--fps must be a number above 0, from 0.001 to 1000, was '1e-9'", "encode",
        "--fps", "1e-9", "--output", "x.h264");
    assertUsageError("--frames must be a whole number from 1", "roundtrip", "--frames", "0");
    assertUsageError("--rc must be one of bitrate, buffer, off, quality, timestamp, was 'cbr'",
        "roundtrip", "--rc", "cbr");
    assertUsageError("--entropy must be one of cabac, cavlc", "encode", "--entropy", "huffman",
        "--output", "x.h264");
    assertUsageError("--threads needs a value", "roundtrip", "--threads");
    assertUsageError("--slices is given more than once", "roundtrip", "--slices", "2",
        "--slices", "3");
    assertUsageError("--verbose takes no value", "roundtrip", "--verbose=yes");
    assertUsageError("too many arguments", "roundtrip", "a.y4m", "b.y4m");
    assertUsageError("decode needs an INPUT file (.h264 or .mp4)", "decode");
    assertUsageError("--format must be one of h264, mp4, was 'mkv'", "encode", "--format", "mkv",
        "--output", "x.mp4");
    String oneWay = "grab needs one of --at SECONDS, --frame N or --every SECONDS";
    assertUsageError(oneWay, "grab", "x.mp4", "--output", "f.png");
    assertUsageError(oneWay, "grab", "x.mp4", "--at", "1", "--frame", "2", "--output", "f.png");
    assertUsageError(oneWay, "grab", "x.mp4", "--at", "1", "--every", "2", "--output", "f.png");
    assertUsageError("--every must be a number above 0, from 0.001 to 1000000000, was '0'",
        "grab", "x.mp4", "--every", "0", "--output", "f%d.png");
    assertUsageError("--seek must be one of key-frame, precise, was 'fast'", "grab", "x.mp4",
        "--at", "1", "--seek", "fast", "--output", "f.png");
    for (String pattern : new String[] {"f.png", "f%d%d.png", "f%s.png", "-", "f%3d.png"}) {
      assertUsageError("with --every, --output must be a file name with one %d or %0Nd",
          "grab", "x.mp4", "--every", "1", "--output", pattern);
    }
    assertUsageError("--at must be a time in seconds, 0 or more, was 'NaN'", "grab", "x.mp4",
        "--at", "NaN", "--output", "f.png");
    assertUsageError("grab needs --output FILE.png", "grab", "x.mp4", "--frame", "0");
    assertUsageError("info needs an INPUT file", "info");
  }

  @Test
  void inputsThatDoNotFitTheOptionsAreUsageErrors() throws Exception {
    Path raw = Files.write(dir.resolve("clip.yuv"), new byte[96]);
    assertUsageError("not a Y4M file; for raw I420 input give its --size", "roundtrip",
        raw.toString());
    Path y4m = Files.writeString(dir.resolve("clip.y4m"), "YUV4MPEG2 W16 H16 F30:1\n");
    assertUsageError("--size is for raw I420 input", "roundtrip", y4m.toString(), "--size",
        "16x16");
  }

  @Test
  void missingFilesAreFailuresNotUsageErrors() {
    ToolRun run = ToolRun.of("decode", dir.resolve("missing.h264").toString());
    assertEquals(Main.FAILURE, run.status(), run.toString());
    assertTrue(run.err().contains("missing.h264: no such file"), run.toString());
  }

  @Test
  void helpIsPrintedForTheToolAndEveryCommand() {
    ToolRun tool = ToolRun.of("--help");
    assertEquals(Main.OK, tool.status());
    assertTrue(tool.out().contains("roundtrip"), tool.out());
    for (String command : new String[] {"encode", "decode", "roundtrip", "grab", "info"}) {
      ToolRun run = ToolRun.of(command, "--bitrate", "nonsense", "--help");
      assertEquals(Main.OK, run.status(), run.toString());
      assertTrue(run.out().startsWith("Usage: java -jar tqh264bridge.jar " + command), run.out());
      assertEquals("", run.err());
    }
  }
}
