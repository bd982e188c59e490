package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.FfmpegTool;

/** The packed jar and the loader, in JVMs of their own. */
class JarTest {
  private record Result(int status, String out, String err) {}

  private static String path(String variable) {
    String value = System.getenv(variable);
    if (value == null || value.isEmpty()) {
      fail(variable + " is not set; the build's test runner passes it");
    }
    return value;
  }

  private static Result java(Path workingDirectory, String... args) throws Exception {
    List<String> command = new ArrayList<>();
    command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
    command.addAll(List.of(args));
    Path out = Files.createTempFile(workingDirectory, "out", ".txt");
    Path err = Files.createTempFile(workingDirectory, "err", ".txt");
    Process process = new ProcessBuilder(command).directory(workingDirectory.toFile())
        .redirectOutput(out.toFile()).redirectError(err.toFile()).start();
    if (!process.waitFor(3, TimeUnit.MINUTES)) {
      process.destroyForcibly();
      fail("timed out: " + command);
    }
    return new Result(process.exitValue(), Files.readString(out, StandardCharsets.ISO_8859_1),
        Files.readString(err, StandardCharsets.UTF_8));
  }

  private static Path emptyDirectory(String name) throws IOException {
    return Files.createTempDirectory(FfmpegTool.workDir("jar"), name);
  }

  @Test
  void jarRunsTheToolFromAnotherDirectoryWithItsPackedLibrary() throws Exception {
    Path elsewhere = emptyDirectory("elsewhere");
    Result result = java(elsewhere, "-jar", path("TQ_JAR"), "roundtrip", "--size", "64x48",
        "--frames", "10", "--output", "pattern.h264");
    assertEquals(0, result.status(), result.toString());
    assertTrue(result.out().contains("PSNR:"), result.out());
    assertTrue(Files.size(elsewhere.resolve("pattern.h264")) > 0);
  }

  @Test
  void jarWorksAsAModule() throws Exception {
    Result result = java(emptyDirectory("module"), "--module-path", path("TQ_JAR"),
        "--module", "tq.brindlecast.openh264/tq.brindlecast.openh264.tool.Main",
        "roundtrip", "--size", "32x32", "--frames", "3");
    assertEquals(0, result.status(), result.toString());
    assertTrue(result.out().contains("3 in, 3 encoded"), result.out());
  }

  @Test
  void loaderTakesThePropertyFirstAndOtherwiseListsEveryAttempt() throws Exception {
    Path dir = emptyDirectory("loader");
    String classesOnly = path("TQ_CLASSES_JAR");
    Result explicit = java(dir,
        "-Dtq.brindlecast.openh264.library=" + path("TQ_NATIVE_LIBRARY"),
        "-cp", classesOnly, "tq.brindlecast.openh264.tool.Main",
        "roundtrip", "--size", "32x32", "--frames", "2");
    assertEquals(0, explicit.status(), explicit.toString());

    Result missing = java(dir,
        "-Dtq.brindlecast.openh264.library=" + dir.resolve("nowhere/libtqh264bridge.so"),
        "-Djava.library.path=" + dir.resolve("nowhere"),
        "-cp", classesOnly, "tq.brindlecast.openh264.tool.Main",
        "roundtrip", "--size", "32x32", "--frames", "2");
    assertEquals(1, missing.status(), missing.toString());
    String text = missing.err();
    int property = text.indexOf("1. property tq.brindlecast.openh264.library=");
    int jar = text.indexOf("2. jar resource /native/linux-");
    int libraryPath = text.indexOf("3. System.loadLibrary(\"tqh264bridge\")");
    assertTrue(property >= 0 && property < jar && jar < libraryPath, text);
    assertTrue(text.contains("not in the jar"), text);
    assertTrue(text.contains("libopenh264-7"), text);
  }

  @Test
  void dataRedirectedFromStandardOutputHoldsNoSummary() throws Exception {
    Path dir = emptyDirectory("stdout");
    Result encode = java(dir, "-jar", path("TQ_JAR"), "encode", "--size", "64x48", "--frames",
        "3", "--output", "clip.h264");
    assertEquals(0, encode.status(), encode.toString());
    Result decode = java(dir, "-jar", path("TQ_JAR"), "decode", "clip.h264", "--output",
        "/dev/stdout");
    assertEquals(0, decode.status(), decode.toString());
    assertTrue(decode.out().startsWith("YUV4MPEG2 W64 H48 "), decode.out().substring(0, 40));
    assertEquals(3, decode.out().split("FRAME\n", -1).length - 1, "three pictures, no summary");
    assertTrue(decode.err().contains("pictures:   3 decoded"), decode.err());
  }
}
