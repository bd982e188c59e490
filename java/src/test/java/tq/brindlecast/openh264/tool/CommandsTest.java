package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.OpenH264Release;
import tq.brindlecast.openh264.mp4.Mp4Peers;

/** The commands end to end, with ffmpeg as the independent decoder. */
class CommandsTest {
  private static final int WIDTH = 176;
  private static final int HEIGHT = 144;

  /** The pictures of a raw I420 file. */
  private static List<I420Picture> pictures(byte[] raw, int width, int height) {
    int size = I420Picture.packedSize(width, height);
    assertEquals(0, raw.length % size, "whole pictures");
    List<I420Picture> pictures = new ArrayList<>();
    for (int at = 0; at < raw.length; at += size) {
      pictures.add(I420Picture.fromPacked(Arrays.copyOfRange(raw, at, at + size), width, height));
    }
    return pictures;
  }

  /** The pictures of a Y4M file. */
  private static List<I420Picture> readY4m(Path file) throws Exception {
    List<I420Picture> pictures = new ArrayList<>();
    try (Y4mReader reader = new Y4mReader(Files.newInputStream(file), file.toString())) {
      for (I420Picture p; (p = reader.next()) != null; ) {
        pictures.add(p);
      }
    }
    return pictures;
  }

  /** Writes a Y4M file of the test pattern. */
  static Path patternY4m(Path file, int width, int height, int count, double fps)
      throws Exception {
    try (Y4mWriter writer = new Y4mWriter(Files.newOutputStream(file), file.toString(), fps)) {
      for (int t = 0; t < count; t++) {
        writer.write(TestPattern.render(width, height, t));
      }
    }
    return file;
  }

  private static double psnrOf(Psnr psnr, int plane) {
    return plane < 3 ? psnr.plane(plane) : psnr.combined();
  }

  @Test
  void roundtripOnThePatternReachesThePsnrItReportsAndFfmpegDecodesItsStream() throws Exception {
    Path dir = FfmpegTool.workDir("cli-roundtrip");
    Path h264 = dir.resolve("pattern.h264");
    Path decodedY4m = dir.resolve("pattern.y4m");
    ToolRun run = ToolRun.of("roundtrip", "--size", WIDTH + "x" + HEIGHT, "--frames", "30",
        "--frame-skip", "off", "--intra-period", "10", "--output", h264.toString(),
        "--decoded", decodedY4m.toString());
    assertEquals(Main.OK, run.status(), run.toString());
    assertEquals("30 in, 30 encoded, 0 skipped by rate control", run.summary("pictures"));
    assertEquals("3", run.summary("key frames"));

    List<I420Picture> ffmpeg = pictures(
        FfmpegTool.decodeToI420(h264, dir.resolve("pattern.yuv")), WIDTH, HEIGHT);
    assertEquals(30, ffmpeg.size(), "ffmpeg decodes every picture");
    Psnr psnr = new Psnr();
    for (int t = 0; t < ffmpeg.size(); t++) {
      psnr.add(TestPattern.render(WIDTH, HEIGHT, t), ffmpeg.get(t));
    }
    double[] reported = run.psnr();
    for (int plane = 0; plane < 4; plane++) {
      assertEquals(psnrOf(psnr, plane), reported[plane], 0.006, "plane " + plane);
    }
    assertTrue(reported[3] > OpenH264Release.roundtripPsnrFloor(),
        "quality " + reported[3] + " with OpenH264 " + OpenH264Release.version());

    List<I420Picture> ours = readY4m(decodedY4m);
    assertEquals(ffmpeg.size(), ours.size());
    for (int t = 0; t < ours.size(); t++) {
      assertArrayEquals(ffmpeg.get(t).toPacked(), ours.get(t).toPacked(), "picture " + t);
    }
  }

  @Test
  void picturesSkippedByRateControlDoNotShiftTheComparison() throws Exception {
    Path dir = FfmpegTool.workDir("cli-roundtrip-skips");
    Path decodedY4m = dir.resolve("starved.y4m");
    // At 80 units about half of these pictures are skipped.
    ToolRun run = ToolRun.of("roundtrip", "--size", "320x240", "--frames", "40",
        "--bitrate", "80", "--frame-skip", "on", "--decoded", decodedY4m.toString());
    assertEquals(Main.OK, run.status(), run.toString());
    List<I420Picture> decoded = readY4m(decodedY4m);
    assertTrue(decoded.size() < 38, "rate control skipped too little: " + run.summary("pictures"));
    // Find each decoded picture's source independently: the closest of the later ones.
    Psnr matched = new Psnr();
    Psnr shifted = new Psnr();
    int source = -1;
    for (int k = 0; k < decoded.size(); k++) {
      I420Picture picture = decoded.get(k);
      int best = -1;
      double bestPsnr = -1;
      for (int t = source + 1; t < 40; t++) {
        Psnr one = new Psnr();
        one.add(TestPattern.render(320, 240, t), picture);
        if (one.combined() > bestPsnr) {
          bestPsnr = one.combined();
          best = t;
        }
      }
      matched.add(TestPattern.render(320, 240, best), picture);
      shifted.add(TestPattern.render(320, 240, k), picture);
      source = best;
    }
    assertEquals(matched.combined(), run.psnr()[3], 0.006, run.out());
    assertTrue(shifted.combined() < matched.combined() - 1, "the skips do matter here");
  }

  @Test
  void encodeAndDecodeCommandsAgreeWithFfmpegOnAHighProfileStreamWithSlices() throws Exception {
    Path dir = FfmpegTool.workDir("cli-encode-decode");
    Path source = patternY4m(dir.resolve("source.y4m"), WIDTH, HEIGHT, 20, 25);
    Path h264 = dir.resolve("cabac.h264");
    ToolRun encode = ToolRun.of("encode", source.toString(), "--output", h264.toString(),
        "--entropy", "cabac", "--slices", "3", "--frame-skip", "off", "--frames", "18");
    assertEquals(Main.OK, encode.status(), encode.toString());
    assertEquals("18 in, 18 encoded, 0 skipped by rate control", encode.summary("pictures"));
    assertTrue(encode.summary("source").contains("at 25 pictures/s"), encode.out());

    Path decodedY4m = dir.resolve("cabac.y4m");
    ToolRun decode = ToolRun.of("decode", h264.toString(), "--output", decodedY4m.toString());
    assertEquals(Main.OK, decode.status(), decode.toString());
    List<I420Picture> ffmpeg =
        pictures(FfmpegTool.decodeToI420(h264, dir.resolve("cabac.yuv")), WIDTH, HEIGHT);
    List<I420Picture> ours = readY4m(decodedY4m);
    assertEquals(18, ffmpeg.size());
    assertEquals(18, ours.size(), "the last picture comes out through the drain");
    for (int t = 0; t < ours.size(); t++) {
      assertArrayEquals(ffmpeg.get(t).toPacked(), ours.get(t).toPacked(), "picture " + t);
    }
  }

  @Test
  void decodeCommandSplitsAnX264StreamAndMatchesFfmpegPictureForPicture() throws Exception {
    Path dir = FfmpegTool.workDir("cli-decode-x264");
    Path h264 = dir.resolve("x264-main.h264");
    FfmpegTool.run("-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30",
        "-frames:v", "15", "-c:v", "libx264", "-profile:v", "main", "-bf", "0",
        "-x264-params", "slices=2", "-pix_fmt", "yuv420p", h264.toString());
    Path decodedY4m = dir.resolve("x264-main.y4m");
    ToolRun decode = ToolRun.of("decode", h264.toString(), "--output", decodedY4m.toString());
    assertEquals(Main.OK, decode.status(), decode.toString());
    assertTrue(decode.summary("input").contains("15 access units, 1 key frames"), decode.out());
    List<I420Picture> ffmpeg =
        pictures(FfmpegTool.decodeToI420(h264, dir.resolve("x264-main.yuv")), 320, 240);
    List<I420Picture> ours = readY4m(decodedY4m);
    assertEquals(15, ours.size());
    boolean weighted = OpenH264Release.weightedPrediction(Files.readAllBytes(h264));
    assertTrue(weighted, "x264's Main profile weights its P pictures");
    OpenH264Release.assertDecodedAsFfmpeg(
        ffmpeg.stream().map(I420Picture::toPacked).toList(),
        ours.stream().map(I420Picture::toPacked).toList(), weighted);
  }

  @Test
  void mp4OutputsPlayInFfmpegAtTheSourcesRateInEveryWayTheyAreWritten() throws Exception {
    Path dir = FfmpegTool.workDir("cli-mp4-out");
    Path source = patternY4m(dir.resolve("source.y4m"), WIDTH, HEIGHT, 20, 25);
    Path ntsc = patternY4m(dir.resolve("ntsc.y4m"), 64, 48, 12, 30 / 1.001);
    record Row(String name, int pictures, String rate, String[] args) {}
    Path stdoutFile = dir.resolve("stdout.mp4");
    List<Row> rows = List.of(
        new Row("encode.mp4", 20, "25/1", new String[] {"encode", source.toString()}),
        new Row("ntsc.m4v", 12, "30000/1001",
            new String[] {"encode", ntsc.toString(), "--intra-period", "5"}),
        new Row("pattern.mp4", 12, "30000/1001",
            new String[] {"encode", "--size", "64x48", "--frames", "12", "--fps", "29.97"}),
        new Row("roundtrip.mp4", 20, "25/1", new String[] {"roundtrip", source.toString()}),
        new Row("forced.h264", 20, "25/1",
            new String[] {"encode", source.toString(), "--format", "mp4"}),
        new Row("-", 20, "25/1",
            new String[] {"encode", source.toString(), "--format", "mp4", "--intra-period", "8"}));
    for (Row row : rows) {
      Path file = row.name().equals("-") ? stdoutFile : dir.resolve(row.name());
      List<String> args = new ArrayList<>(List.of(row.args()));
      args.addAll(List.of("--output", row.name().equals("-") ? "-" : file.toString()));
      ToolRun run = ToolRun.of(args.toArray(String[]::new));
      assertEquals(Main.OK, run.status(), row + ": " + run);
      if (row.name().equals("-")) {
        Files.write(file, run.outBytes());
      }
      var probe = Mp4Peers.probe(file);
      assertEquals(String.valueOf(row.pictures()), probe.get("nb_read_frames"), row.name());
      assertEquals(row.rate(), probe.get("avg_frame_rate"), row.name());
      String[] rate = row.rate().split("/");
      assertEquals(row.pictures() * Double.parseDouble(rate[1]) / Double.parseDouble(rate[0]),
          Double.parseDouble(probe.get("format_duration")), 0.001, row.name());
      Mp4Peers.decodesWithoutError(file);
      List<String> boxes = Mp4Peers.topLevelBoxes(file);
      assertEquals(row.name().equals("-") ? "moof" : "mdat", boxes.get(2),
          row.name() + ": moov first in a file, fragments on standard output " + boxes);
    }
  }

  @Test
  void progressIsDrawnAndClearedOnlyOnATerminal() {
    String[] args = {"roundtrip", "--size", "64x48", "--frames", "5"};
    ToolRun terminal = ToolRun.onTerminal(args);
    assertEquals(Main.OK, terminal.status(), terminal.toString());
    assertTrue(terminal.err().startsWith("\rround trip: 1/5 pictures, "), terminal.err());
    assertTrue(terminal.err().endsWith("\r"), "the line is cleared at the end");
    assertFalse(terminal.err().contains("\n"), "progress stays on one line");
    ToolRun piped = ToolRun.of(args);
    assertEquals(Main.OK, piped.status(), piped.toString());
    assertEquals("", piped.err());
    assertEquals(terminal.out().lines().count(), piped.out().lines().count(), "same summary");
  }

  @Test
  void rawI420InputIsEncodedAtTheGivenSize() throws Exception {
    Path dir = FfmpegTool.workDir("cli-raw");
    Path raw = dir.resolve("clip.yuv");
    byte[] data = new byte[3 * I420Picture.packedSize(64, 48)];
    for (int t = 0; t < 3; t++) {
      byte[] picture = TestPattern.render(64, 48, t).toPacked();
      System.arraycopy(picture, 0, data, t * picture.length, picture.length);
    }
    Files.write(raw, data);
    Path h264 = dir.resolve("clip.h264");
    ToolRun run = ToolRun.of("encode", raw.toString(), "--size", "64x48", "--fps", "15",
        "--output", h264.toString());
    assertEquals(Main.OK, run.status(), run.toString());
    assertTrue(run.summary("source").contains("64x48 at 15 pictures/s"), run.out());
    assertEquals(3, pictures(FfmpegTool.decodeToI420(h264, dir.resolve("clip-decoded.yuv")),
        64, 48).size());

    Files.write(raw, Arrays.copyOf(data, data.length - 1));
    ToolRun truncated = ToolRun.of("encode", raw.toString(), "--size", "64x48",
        "--output", h264.toString());
    assertEquals(Main.FAILURE, truncated.status(), truncated.toString());
    assertTrue(truncated.err().contains("ends inside picture 3"), truncated.err());
  }
}
