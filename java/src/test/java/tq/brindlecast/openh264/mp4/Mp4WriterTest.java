package tq.brindlecast.openh264.mp4;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/** The MP4s we write, as ffprobe and ffmpeg read them. */
class Mp4WriterTest {
  private static final int WIDTH = 96;
  private static final int HEIGHT = 64;
  private static final int PICTURES = 30;
  private static final int GOP = 10;

  private interface Opener {
    Mp4Writer open(Path file) throws IOException;
  }

  private static final Opener FILE = file -> Mp4Writer.toFile(file, WIDTH, HEIGHT, 25);
  private static final Opener STREAM =
      file -> Mp4Writer.toStream(Files.newOutputStream(file), WIDTH, HEIGHT, 25);

  private static double rational(String value) {
    String[] parts = value.split("/");
    return Double.parseDouble(parts[0]) / Double.parseDouble(parts[1]);
  }

  @Test
  void ffprobeCountsOurPicturesDurationAndRateAndFfmpegDecodesThemBitExact() throws Exception {
    Path dir = FfmpegTool.workDir("mp4-writer");
    List<EncodedFrame> frames = Mp4Peers.encode(WIDTH, HEIGHT, PICTURES, GOP);
    Path annexB = dir.resolve("reference.h264");
    try (var out = Files.newOutputStream(annexB)) {
      for (EncodedFrame frame : frames) {
        out.write(frame.data());
      }
    }
    byte[] reference = FfmpegTool.decodeToI420(annexB, dir.resolve("reference.yuv"));

    // Variable intervals of 20, 40 and 60 ms from a wall clock far from zero.
    long[] wallClock = new long[PICTURES];
    for (int i = 1; i < PICTURES; i++) {
      wallClock[i] = wallClock[i - 1] + 20_000 * (1 + (i % 3));
    }
    long origin = 1_765_000_000_000_000L;
    // A stream on a FileOutputStream can seek: its moov gets the length (mehd) at the end.
    enum Output { FILE, STREAM, SEEKABLE_STREAM }
    record Row(String name, Output output, double fps, long[] timesMicros) {
      boolean fragmented() {
        return output != Output.FILE;
      }
    }
    List<Row> rows =
        List.of(
            new Row("file, 25/s", Output.FILE, 25, null),
            new Row("stream, 25/s", Output.STREAM, 25, null),
            new Row("file, 29.97/s", Output.FILE, 30000 / 1001.0, null),
            new Row("file, variable intervals", Output.FILE, 25, wallClock),
            new Row("stream, variable intervals", Output.STREAM, 25, wallClock),
            new Row("seekable stream, 29.97/s", Output.SEEKABLE_STREAM, 30000 / 1001.0, null),
            new Row("seekable stream, variable", Output.SEEKABLE_STREAM, 25, wallClock));
    for (Row row : rows) {
      Path file = dir.resolve(row.name().replaceAll("[^a-z0-9]+", "-") + ".mp4");
      try (Mp4Writer mp4 =
          switch (row.output()) {
            case FILE -> Mp4Writer.toFile(file, WIDTH, HEIGHT, row.fps());
            case STREAM ->
                Mp4Writer.toStream(Files.newOutputStream(file), WIDTH, HEIGHT, row.fps());
            case SEEKABLE_STREAM ->
                Mp4Writer.toStream(new FileOutputStream(file.toFile()), WIDTH, HEIGHT, row.fps());
          }) {
        for (int i = 0; i < PICTURES; i++) {
          if (row.timesMicros() == null) {
            mp4.write(frames.get(i));
          } else {
            mp4.write(frames.get(i), origin + row.timesMicros()[i]);
          }
        }
        mp4.finish();
      }
      List<Double> expectedTimes = new ArrayList<>();
      for (int i = 0; i < PICTURES; i++) {
        expectedTimes.add(row.timesMicros() == null ? i / row.fps() : row.timesMicros()[i] / 1e6);
      }
      double lastInterval = expectedTimes.get(PICTURES - 1) - expectedTimes.get(PICTURES - 2);
      double duration = expectedTimes.get(PICTURES - 1) + lastInterval;

      Map<String, String> probe = Mp4Peers.probe(file);
      assertEquals("h264", probe.get("codec_name"), row.name());
      assertEquals(WIDTH + "x" + HEIGHT, probe.get("width") + "x" + probe.get("height"), row.name());
      assertEquals(String.valueOf(PICTURES), probe.get("nb_read_frames"), row.name());
      assertEquals(duration, Double.parseDouble(probe.get("format_duration")), 0.002, row.name());
      if (row.output() != Output.STREAM) {
        // A length GStreamer finds only in a moov's mvhd or mehd, not in the fragments.
        assertEquals(duration, Mp4Peers.gstreamerDuration(file), 0.002,
            row.name() + ": GStreamer");
      }
      assertEquals(PICTURES / duration, rational(probe.get("avg_frame_rate")), 0.01, row.name());
      List<Double> times = Mp4Peers.frameTimes(file);
      assertEquals(PICTURES, times.size(), row.name());
      for (int i = 0; i < PICTURES; i++) {
        assertEquals(expectedTimes.get(i), times.get(i), 0.0005, row.name() + ": picture " + i);
      }
      Mp4Peers.decodesWithoutError(file);
      assertArrayEquals(reference, Mp4Peers.decode(file, dir.resolve("decoded.yuv")), row.name());

      List<String> boxes = Mp4Peers.topLevelBoxes(file);
      if (row.fragmented()) {
        List<String> expected = new ArrayList<>(List.of("ftyp", "moov"));
        for (int gop = 0; gop < PICTURES / GOP; gop++) {
          expected.addAll(List.of("moof", "mdat"));
        }
        expected.add("mfra");
        assertEquals(expected, boxes, row.name() + ": one fragment per GOP, then their index");
        List<Double> gopStarts = new ArrayList<>();
        for (int gop = 0; gop < PICTURES / GOP; gop++) {
          gopStarts.add(expectedTimes.get(gop * GOP));
        }
        boolean lengthKnown = row.output() == Output.SEEKABLE_STREAM;
        assertFragmentIndexAndLength(Files.readAllBytes(file), gopStarts,
            lengthKnown ? duration : Double.NaN, row.name());
      } else {
        assertEquals(List.of("ftyp", "moov", "mdat"), boxes, row.name() + ": moov first");
      }
    }
    try (Stream<Path> left = Files.list(dir)) {
      assertFalse(left.anyMatch(p -> p.getFileName().toString().startsWith(".")),
          "temporary files left behind");
    }
  }

  /**
   * Checks the closing mfra (one tfra entry per fragment, pointing at its moof, found from the
   * file's end through mfro) and the mehd: the length in seconds, or none when NaN.
   */
  private static void assertFragmentIndexAndLength(
      byte[] mp4, List<Double> fragmentStarts, double length, String row) {
    long timescale = Mp4TestFiles.u32(mp4, Mp4TestFiles.find(mp4, "mvhd").payload() + 12);
    int mfraSize = (int) Mp4TestFiles.u32(mp4, mp4.length - 4);
    Mp4TestFiles.Box mfra = Mp4TestFiles.find(mp4, "mfra");
    assertEquals(mp4.length - mfra.start(), mfraSize, row + ": mfro gives the mfra's size");
    int tfra = mfra.payload();
    assertEquals("tfra", new String(mp4, tfra + 4, 4, java.nio.charset.StandardCharsets.US_ASCII));
    assertEquals(fragmentStarts.size(), Mp4TestFiles.u32(mp4, tfra + 20), row + ": tfra entries");
    for (int i = 0; i < fragmentStarts.size(); i++) {
      int entry = tfra + 24 + i * 19;
      assertEquals(fragmentStarts.get(i), Mp4TestFiles.s64(mp4, entry) / (double) timescale,
          0.0005, row + ": tfra time " + i);
      int moof = (int) Mp4TestFiles.s64(mp4, entry + 8);
      assertEquals("moof", new String(mp4, moof + 4, 4, java.nio.charset.StandardCharsets.US_ASCII),
          row + ": tfra offset " + i);
    }
    List<String> types = Mp4TestFiles.boxes(mp4).stream().map(Mp4TestFiles.Box::type).toList();
    if (Double.isNaN(length)) {
      assertFalse(types.contains("mehd"), row + ": a stream that cannot seek has no mehd");
    } else {
      Mp4TestFiles.Box mehd = Mp4TestFiles.find(mp4, "mehd");
      assertEquals(length, Mp4TestFiles.s64(mp4, mehd.payload() + 4) / (double) timescale, 0.0005,
          row + ": mehd");
    }
  }

  @Test
  void refusedPicturesLeaveTheWriterUsableAndTheFileWhole() throws Exception {
    Path dir = FfmpegTool.workDir("mp4-writer-refusals");
    List<EncodedFrame> frames = Mp4Peers.encode(WIDTH, HEIGHT, 8, 4);
    List<EncodedFrame> larger = Mp4Peers.encode(WIDTH + 32, HEIGHT + 32, 1, 0);
    // Each row: writes that are accepted, one that is refused (with words of its message), and
    // the pictures accepted after it.
    record Row(String name, String message, Write refused) {}
    List<Row> rows =
        List.of(
            new Row("first picture not IDR", "IDR", mp4 -> mp4.write(frames.get(1))),
            new Row("another size than the writer's", "was made for",
                mp4 -> mp4.write(larger.get(0))),
            new Row("new picture size (SPS change)", "new SPS", mp4 -> {
              mp4.write(frames.get(0), 0);
              mp4.write(larger.get(0), 40_000);
            }),
            new Row("time stamps go back", "increase", mp4 -> {
              mp4.write(frames.get(0), 80_000);
              mp4.write(frames.get(1), 40_000);
            }));
    for (Opener opener : List.of(FILE, STREAM)) {
      for (Row row : rows) {
        Path file = dir.resolve(row.name().replaceAll("[^a-z0-9]+", "-") + ".mp4");
        int accepted;
        try (Mp4Writer mp4 = opener.open(file)) {
          IllegalArgumentException refusal =
              assertThrows(IllegalArgumentException.class, () -> row.refused().apply(mp4));
          assertTrue(refusal.getMessage().contains(row.message()), refusal.getMessage());
          int start = mp4.pictureCount() == 0 ? 0 : 1;
          for (int i = start; i < 8; i++) {
            mp4.write(frames.get(i));
          }
          accepted = mp4.pictureCount();
          mp4.finish();
        }
        assertEquals(8, accepted, row.name());
        assertEquals("8", Mp4Peers.probe(file).get("nb_read_frames"), row.name());
        Mp4Peers.decodesWithoutError(file);
      }
    }

    // No picture at all: an error, and neither the file nor temporary files appear.
    Path empty = dir.resolve("empty.mp4");
    Files.deleteIfExists(empty);
    IOException nothing = assertThrows(IOException.class, () -> FILE.open(empty).finish());
    assertTrue(nothing.getMessage().contains("no picture"), nothing.getMessage());
    assertThrows(IOException.class,
        () -> Mp4Writer.toStream(new ByteArrayOutputStream(), WIDTH, HEIGHT, 25).finish());
    try (Stream<Path> left = Files.list(dir)) {
      assertFalse(left.anyMatch(p -> p.getFileName().toString().startsWith(".")
          || p.equals(empty)), "empty.mp4 or temporary files were left");
    }
  }

  private interface Write {
    void apply(Mp4Writer mp4) throws IOException;
  }
}
