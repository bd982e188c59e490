package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.OpenH264Library;
import tq.brindlecast.openh264.mp4.Mp4Peers;

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
    return javaWith(workingDirectory, null, args);
  }

  /** Runs java with TQ_OPENH264_LIBRARY set to {@code openH264File} (unset for null). */
  private static Result javaWith(Path workingDirectory, String openH264File, String... args)
      throws Exception {
    List<String> command = new ArrayList<>();
    command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
    command.addAll(List.of(args));
    Path out = Files.createTempFile(workingDirectory, "out", ".txt");
    Path err = Files.createTempFile(workingDirectory, "err", ".txt");
    ProcessBuilder builder = new ProcessBuilder(command).directory(workingDirectory.toFile())
        .redirectOutput(out.toFile()).redirectError(err.toFile());
    builder.environment().remove(OpenH264Library.FILE_ENVIRONMENT_VARIABLE);
    if (openH264File != null) {
      builder.environment().put(OpenH264Library.FILE_ENVIRONMENT_VARIABLE, openH264File);
    }
    Process process = builder.start();
    if (!process.waitFor(3, TimeUnit.MINUTES)) {
      process.destroyForcibly();
      fail("timed out: " + command);
    }
    return new Result(process.exitValue(), Files.readString(out, StandardCharsets.ISO_8859_1),
        Files.readString(err, StandardCharsets.UTF_8));
  }

  /** Debian's OpenH264 of the other architecture, and what loading it must say. */
  private static final String[] FOREIGN_OPENH264 =
      System.getProperty("os.arch").equals("aarch64")
          ? new String[] {"/usr/lib/x86_64-linux-gnu/libopenh264.so.7",
            "it is a library for x86_64, and this process runs on arm64"}
          : new String[] {"/usr/lib/aarch64-linux-gnu/libopenh264.so.7",
            "it is a library for arm64, and this process runs on x86_64"};

  /** The tool in a JVM of its own, started by a shell that sets the umask first. */
  private static ProcessBuilder tool(Path dir, String umask, String... args) throws Exception {
    List<String> command = new ArrayList<>(List.of("/bin/sh", "-c",
        "umask " + umask + " && exec \"$0\" \"$@\"",
        Path.of(System.getProperty("java.home"), "bin", "java").toString(), "-jar",
        path("TQ_JAR")));
    command.addAll(List.of(args));
    return new ProcessBuilder(command).directory(dir.toFile())
        .redirectOutput(dir.resolve("stdout.txt").toFile())
        .redirectError(dir.resolve("stderr.txt").toFile());
  }

  private static int finish(Process process) throws Exception {
    if (!process.waitFor(3, TimeUnit.MINUTES)) {
      process.destroyForcibly();
      fail("timed out");
    }
    return process.exitValue();
  }

  private static List<String> hiddenFiles(Path dir) throws IOException {
    try (Stream<Path> files = Files.list(dir)) {
      return files.map(p -> p.getFileName().toString()).filter(n -> n.startsWith(".")).toList();
    }
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
  void everyOutputGetsTheModeANewFileGetsUnderTheUmask() throws Exception {
    // Two umasks, so that no fixed mode passes; each output once new and once over a file of
    // mode 0600.
    Map<String, String> modes = Map.of("027", "rw-r-----", "002", "rw-rw-r--");
    for (Map.Entry<String, String> umask : modes.entrySet()) {
      Path dir = emptyDirectory("umask");
      for (String old : List.of("clip.mp4", "pictures.y4m")) {
        Files.writeString(dir.resolve(old), "old");
        Files.setPosixFilePermissions(dir.resolve(old),
            PosixFilePermissions.fromString("rw-------"));
      }
      String[][] runs = {
        {"roundtrip", "--size", "64x48", "--frames", "3", "--output", "clip.mp4", "--decoded",
          "pictures.y4m"},
        {"encode", "--size", "64x48", "--frames", "3", "--output", "clip.h264"},
        {"grab", "clip.mp4", "--frame", "0", "--output", "frame.png"},
      };
      for (String[] args : runs) {
        int status = finish(tool(dir, umask.getKey(), args).start());
        assertEquals(0, status, String.join(" ", args) + ": "
            + Files.readString(dir.resolve("stderr.txt")));
      }
      for (String output : List.of("clip.mp4", "pictures.y4m", "clip.h264", "frame.png")) {
        assertEquals(umask.getValue(),
            PosixFilePermissions.toString(Files.getPosixFilePermissions(dir.resolve(output))),
            output + " under umask " + umask.getKey());
      }
    }
  }

  @Test
  void aRunStoppedBySigtermOrSigintLeavesNoTemporaryFileAndTheOutputsUntouched()
      throws Exception {
    // Each row: the signal, the exit status it leaves, the outputs of an endless run.
    record Row(String signal, int status, String[] outputs) {}
    List<Row> rows =
        List.of(
            new Row("TERM", 143, new String[] {"--output", "clip.mp4"}),
            new Row("INT", 130, new String[] {"--output", "clip.h264", "--decoded", "clip.y4m"}));
    for (Row row : rows) {
      Path dir = emptyDirectory("signal");
      List<String> args =
          new ArrayList<>(List.of("roundtrip", "--size", "320x240", "--frames", "1000000"));
      args.addAll(List.of(row.outputs()));
      List<Path> outputs = new ArrayList<>();
      for (int i = 1; i < row.outputs().length; i += 2) {
        outputs.add(Files.writeString(dir.resolve(row.outputs()[i]), "keep me"));
      }
      Process process = tool(dir, "022", args.toArray(String[]::new)).start();
      // Stopped once every output's temporary file has grown.
      long deadline = System.nanoTime() + TimeUnit.MINUTES.toNanos(2);
      while (!allGrown(dir, outputs.size())) {
        assertTrue(System.nanoTime() < deadline && process.isAlive(),
            row.signal() + ": no temporary files appeared; " + hiddenFiles(dir));
        Thread.sleep(50);
      }
      new ProcessBuilder("kill", "-" + row.signal(), String.valueOf(process.pid())).start()
          .waitFor();
      assertEquals(row.status(), finish(process), "SIG" + row.signal());
      assertEquals(List.of(), hiddenFiles(dir), "SIG" + row.signal() + ": left behind");
      for (Path output : outputs) {
        assertEquals("keep me", Files.readString(output), "SIG" + row.signal());
      }
    }
  }

  private static boolean allGrown(Path dir, int count) throws IOException {
    try (Stream<Path> files = Files.list(dir)) {
      return files.filter(p -> p.getFileName().toString().startsWith("."))
          .filter(p -> p.toFile().length() > 0).count() >= count;
    }
  }

  @Test
  void aStandardOutputThatFailsFailsTheRunWithTheReason() throws Exception {
    Path dir = emptyDirectory("dev-full");
    assertEquals(0, finish(tool(dir, "022", "encode", "--size", "64x48", "--frames", "3",
        "--output", "clip.mp4").start()));
    assertEquals(0, finish(tool(dir, "022", "encode", "--size", "64x48", "--frames", "3",
        "--output", "clip.h264").start()));
    String[][] runs = {
      {"encode", "--size", "64x48", "--frames", "3", "--output", "-"},
      {"encode", "--size", "64x48", "--frames", "3", "--format", "mp4", "--output", "-"},
      {"roundtrip", "--size", "64x48", "--frames", "3", "--decoded", "-"},
      {"decode", "clip.h264", "--output", "-"},
      {"grab", "clip.mp4", "--frame", "1", "--output", "-"},
      {"info", "clip.mp4"}, // the summary itself
    };
    for (String[] args : runs) {
      Process process =
          tool(dir, "022", args).redirectOutput(new java.io.File("/dev/full")).start();
      String run = String.join(" ", args);
      assertEquals(1, finish(process), run);
      String err = Files.readString(dir.resolve("stderr.txt"));
      // The data's writes carry the system's reason; the summary's PrintStream only fails.
      String reason = args[0].equals("info") ? "the summary" : "No space left on device";
      assertTrue(err.contains("error: cannot write to standard output: " + reason),
          run + ": " + err);
    }
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
  void openH264IsTheNamedFileWhenItIsAUsableReleaseAndOtherwiseARefusalThatSaysWhy()
      throws Exception {
    Path dir = emptyDirectory("openh264");
    String property = "-D" + OpenH264Library.FILE_PROPERTY + "=";
    String running = OpenH264Library.file();
    // property, environment variable, what standard output or standard error must hold
    String[][] rows = {
      {running, null, "OpenH264 " + OpenH264Library.release() + " from "},
      {running, dir.resolve("nowhere.so").toString(), "OpenH264 " + OpenH264Library.release()},
      {null, dir.resolve("nowhere.so").toString(),
        "nowhere.so (the file named): " + dir.resolve("nowhere.so")},
      {path("TQ_NATIVE_LIBRARY"), null,
        "loaded, but it is not OpenH264: it has no function WelsCreateSVCEncoder"},
      {FOREIGN_OPENH264[0], null, FOREIGN_OPENH264[1]},
      {path("TQ_FUTURE_OPENH264"), null,
        "refused: it is OpenH264 3.0.0, and only releases 1.7.0 to 2.6.x are supported"},
    };
    for (String[] row : rows) {
      List<String> args = new ArrayList<>();
      if (row[0] != null) {
        args.add(property + row[0]);
      }
      args.addAll(List.of("-jar", path("TQ_JAR"), "--version"));
      Result result = javaWith(dir, row[1], args.toArray(String[]::new));
      boolean usable = row[2].startsWith("OpenH264 ");
      assertEquals(usable ? 0 : 1, result.status(), result.toString());
      String text = usable ? result.out() : result.err();
      assertTrue(text.contains(row[2]), row[2] + " in " + text);
      if (!usable) {
        assertTrue(text.contains("1.7.0 to 2.6.x") && text.contains(
            row[0] == null ? "environment variable TQ_OPENH264_LIBRARY" : "system property"),
            text);
      }
    }
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

  /** The Java code block after a heading of the README, as printed there. */
  private static String readmeBlock(String heading) throws IOException {
    String readme = Files.readString(Path.of(path("TQ_SOURCE_DIR"), "README.md"));
    int at = readme.indexOf("\n" + heading + "\n");
    assertTrue(at >= 0, "the README has no heading " + heading);
    int start = readme.indexOf("```java\n", at) + "```java\n".length();
    return readme.substring(start, readme.indexOf("```", start));
  }

  @Test
  void readmePicturesToMp4AndFrameGrabExamplesRunAsWritten() throws Exception {
    Path dir = emptyDirectory("readme");
    String program =
        """
        import java.awt.Color;
        import java.awt.Graphics2D;
        import java.awt.image.BufferedImage;
        import java.io.File;
        import java.nio.file.Path;
        import java.util.ArrayList;
        import java.util.List;
        import javax.imageio.ImageIO;
        import tq.brindlecast.openh264.*;
        import tq.brindlecast.openh264.mp4.*;
        import tq.brindlecast.openh264.video.*;

        public class ReadmeExamples {
          public static void main(String[] args) throws Exception {
            List<BufferedImage> images = new ArrayList<>();
            for (int i = 0; i < 90; i++) { // a white bar 64 pixels wide moving 8 pixels a picture
              BufferedImage image = new BufferedImage(1280, 720, BufferedImage.TYPE_INT_RGB);
              Graphics2D g = image.createGraphics();
              g.setColor(Color.WHITE);
              g.fillRect(8 * i, 0, 64, 720);
              g.dispose();
              images.add(image);
            }
            picturesToMp4(images);
            grab();
          }

          static void picturesToMp4(List<BufferedImage> images) throws Exception {
        %s  }

          static void grab() throws Exception {
        %s  }
        }
        """
            .formatted(readmeBlock("## Pictures to MP4 (Java API)"),
                readmeBlock("## Grabbing a frame from an MP4 (Java API)"));
    Files.writeString(dir.resolve("ReadmeExamples.java"), program);
    Result result = java(dir, "-cp", path("TQ_JAR"), "ReadmeExamples.java");
    assertEquals(0, result.status(), result.out() + result.err());

    Map<String, String> probe = Mp4Peers.probe(dir.resolve("video.mp4"));
    assertEquals("90", probe.get("nb_read_frames"), probe.toString());
    assertEquals("30/1", probe.get("avg_frame_rate"), probe.toString());
    assertEquals("1280x720", probe.get("width") + "x" + probe.get("height"));
    // Shown at 2.5 s: picture 75, whose bar covers x 600 to 663 (74's ends at 655, 76's at 671).
    BufferedImage frame = ImageIO.read(dir.resolve("frame.png").toFile());
    assertEquals(1280, frame.getWidth());
    int[][] expected = {{596, 0}, {604, 255}, {660, 255}, {668, 0}};
    for (int[] point : expected) {
      int green = frame.getRGB(point[0], 360) >> 8 & 0xFF;
      assertEquals(point[1], green, 40, "x " + point[0]);
    }
  }
}
