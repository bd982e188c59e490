package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.X264Streams;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;
import tq.brindlecast.openh264.video.FrameGrabber;

/** The tool keeps its inputs, reports every failure as one, and says why it refuses. */
class ToolRulesTest {
  @TempDir Path dir;

  private Path y4m(String name, int width, int height, int frames, String extraTags)
      throws IOException {
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    bytes.writeBytes(("YUV4MPEG2 W" + width + " H" + height + " F30:1" + extraTags + "\n")
        .getBytes(StandardCharsets.US_ASCII));
    for (int t = 0; t < frames; t++) {
      bytes.writeBytes("FRAME\n".getBytes(StandardCharsets.US_ASCII));
      bytes.writeBytes(width % 2 == 0 && height % 2 == 0 ? TestPattern.render(width, height, t)
          .toPacked() : new byte[I420Picture.packedSize(width, height)]);
    }
    return Files.write(dir.resolve(name), bytes.toByteArray());
  }

  private Path h264(String name, String... options) throws IOException {
    Path file = dir.resolve(name);
    List<String> args = new ArrayList<>(List.of("encode", "--size", "64x48", "--frames", "5",
        "--output", file.toString()));
    args.addAll(List.of(options));
    ToolRun run = ToolRun.of(args.toArray(String[]::new));
    assertEquals(Main.OK, run.status(), run.toString());
    return file;
  }

  private static String firstLine(ToolRun run) {
    return run.err().lines().findFirst().orElse("");
  }

  private List<String> partFiles() throws IOException {
    try (Stream<Path> files = Files.list(dir)) {
      // The tool's .part files, and the MP4 writer's hidden .mdat and .part files.
      return files.map(p -> p.getFileName().toString()).filter(n -> n.startsWith(".")).toList();
    }
  }

  @Test
  void anOutputThatIsAnInputIsRefusedAndAFailedRunLeavesNoFileAndTouchesNone() throws Exception {
    Path stream = h264("s.h264");
    byte[] streamBytes = Files.readAllBytes(stream);
    Path source = y4m("s.y4m", 64, 48, 3, "");
    byte[] sourceBytes = Files.readAllBytes(source);
    Path link = Files.createSymbolicLink(dir.resolve("link.h264"), stream);
    Path existing = Files.writeString(dir.resolve("existing.out"), "keep me");
    Path unsupported = X264Streams.make(FfmpegTool.workDir("unsupported-streams"), "4:2:2",
        "176x144", "25", 3, X264Streams.UNSUPPORTED.get("4:2:2"));
    String[][] sameFile = {
      {"decode", stream.toString(), "--output", stream.toString()},
      {"decode", stream.toString(), "--output", link.toString()},
      {"encode", source.toString(), "--output", source.toString()},
      {"roundtrip", source.toString(), "--decoded", source.toString()},
      {"roundtrip", source.toString(), "--output", existing.toString(), "--decoded",
        existing.toString()},
      {"roundtrip", source.toString(), "--output", dir.resolve("both.out").toString(),
        "--decoded", dir.resolve(".").resolve("both.out").toString()},
    };
    for (String[] args : sameFile) {
      ToolRun run = ToolRun.of(args);
      assertEquals(Main.USAGE, run.status(), run.toString());
      assertTrue(firstLine(run).contains("is the same file as the input"), run.toString());
    }
    Path tiny = y4m("tiny.y4m", 8, 8, 2, "");
    Path cut = y4m("cut.y4m", 64, 48, 4, "");
    Files.write(cut, Arrays.copyOf(Files.readAllBytes(cut), (int) Files.size(cut) - 100));
    // A timescale of 2^32-1 gives a frame rate no Y4M header holds ("F-1:1" before).
    Path widest = dir.resolve("widest-timescale.mp4");
    assertEquals(Main.OK, ToolRun.of("encode", source.toString(), "--format", "mp4", "--output",
        widest.toString()).status());
    byte[] widestBytes = Files.readAllBytes(widest);
    int mdhd = new String(widestBytes, StandardCharsets.ISO_8859_1).indexOf("mdhd");
    Arrays.fill(widestBytes, mdhd + 16, mdhd + 20, (byte) 0xFF);
    Files.write(widest, widestBytes);
    String[][] failing = {
      {"decode", widest.toString(), "--output"},
      {"encode", tiny.toString(), "--output"},
      {"encode", y4m("odd.y4m", 641, 361, 1, "").toString(), "--output"},
      {"decode", unsupported.toString(), "--output"},
      {"decode", source.toString(), "--output"},
      {"roundtrip", tiny.toString(), "--output"},
      {"encode", cut.toString(), "--format", "mp4", "--output"},
      {"roundtrip", cut.toString(), "--format", "mp4", "--output"},
    };
    for (String[] args : failing) {
      for (Path target : List.of(existing, dir.resolve("new.out"))) {
        String[] withTarget = Arrays.copyOf(args, args.length + 1);
        withTarget[args.length] = target.toString();
        ToolRun run = ToolRun.of(withTarget);
        assertEquals(Main.FAILURE, run.status(), run.toString());
        assertTrue(run.err().startsWith("error: "), run.toString());
      }
    }
    assertEquals("keep me", Files.readString(existing));
    assertFalse(Files.exists(dir.resolve("new.out")), "a failed run left its output");
    assertEquals(List.of(), partFiles(), "temporary files were left behind");
    assertArrayEquals(streamBytes, Files.readAllBytes(stream));
    assertArrayEquals(sourceBytes, Files.readAllBytes(source));
  }

  @Test
  void aDecodeThatYieldsNoPictureFailsAndNamesWhatTheInputIs() throws Exception {
    byte[] stream = Files.readAllBytes(h264("good.h264"));
    int firstSlice = AnnexB.nalUnits(stream).stream().filter(NalUnit::isSlice).findFirst()
        .orElseThrow().offset() - 4;
    byte[] noise = new byte[100_000];
    new Random(2).nextBytes(noise);
    Map<String, byte[]> inputs = Map.of(
        "is empty", new byte[0],
        "holds no H.264 NAL unit", noise,
        "is a Y4M file", Files.readAllBytes(y4m("clip.y4m", 16, 16, 1, "")),
        "is a PNG image", new byte[] {(byte) 0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0},
        "is a JPEG image", new byte[] {(byte) 0xFF, (byte) 0xD8, (byte) 0xFF, (byte) 0xE0, 0},
        "is a Matroska/WebM file", new byte[] {0x1A, 0x45, (byte) 0xDF, (byte) 0xA3, 0, 0},
        "before its moov", new byte[] {0, 0, 0, 0x20, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm'},
        "but no picture data", Arrays.copyOf(stream, firstSlice));
    for (Map.Entry<String, byte[]> input : inputs.entrySet()) {
      Path file = Files.write(dir.resolve("in.h264"), input.getValue());
      Path target = dir.resolve("out.y4m");
      ToolRun run = ToolRun.of("decode", file.toString(), "--output", target.toString());
      assertEquals(Main.FAILURE, run.status(), run.toString());
      assertTrue(firstLine(run).contains(input.getKey()), input.getKey() + ": " + run);
      assertFalse(Files.exists(target), input.getKey());
    }
  }

  @Test
  void streamsOpenH264CannotDecodeAreNamedInTheError() throws Exception {
    Path streams = FfmpegTool.workDir("unsupported-streams");
    for (var kind : X264Streams.UNSUPPORTED.entrySet()) {
      Path file = X264Streams.make(streams, kind.getKey(), "176x144", "25", 3, kind.getValue());
      String feature = SequenceParameterSet.parse(X264Streams.firstSps(file))
          .unsupportedFeature();
      ToolRun run = ToolRun.of("decode", file.toString());
      assertEquals(Main.FAILURE, run.status(), run.toString());
      assertTrue(firstLine(run).endsWith(
          feature + " is not supported by OpenH264; 3 access units not decoded"), run.toString());
      // In an MP4 the file is fine and the stream is not: grab and the API say so alike.
      Path mp4 = dir.resolve("unsupported.mp4");
      FfmpegTool.run("-loglevel", "error", "-y", "-i", file.toString(), "-c", "copy",
          mp4.toString());
      ToolRun grab = ToolRun.of("grab", mp4.toString(), "--frame", "0", "--output",
          dir.resolve("out.png").toString());
      assertEquals(Main.FAILURE, grab.status(), grab.toString());
      assertTrue(firstLine(grab).contains(feature + " is not supported by OpenH264"), kind.getKey()
          + ": " + grab);
      try (FrameGrabber grabber = FrameGrabber.open(mp4)) {
        CodecException thrown = assertThrows(CodecException.class, () -> grabber.picture(0));
        assertTrue(thrown.getMessage().contains(feature), thrown.getMessage());
      }
      // info tells the stream's scan type apart from the file's layout.
      String scan = kind.getKey().equals("interlaced") ? "interlaced" : "progressive";
      for (Path input : List.of(file, mp4)) {
        ToolRun info = ToolRun.of("info", input.toString());
        assertEquals(Main.OK, info.status(), info.toString());
        assertTrue(info.summary("scan").startsWith(scan + " (frame_mbs_only_flag"), info.out());
      }
    }
  }

  @Test
  void pathErrorsSayWhatIsWrongWithThePath() throws Exception {
    Path stream = h264("good.h264");
    Path locked = Files.writeString(dir.resolve("locked.264"), "x");
    Files.setPosixFilePermissions(locked, PosixFilePermissions.fromString("---------"));
    Path readOnly = Files.createDirectory(dir.resolve("ro"));
    Files.setPosixFilePermissions(readOnly, PosixFilePermissions.fromString("r-xr-xr-x"));
    // root reads and writes through permission bits; sysfs refuses even root.
    boolean root = Files.isReadable(locked);
    String unreadable = root ? "/sys/bus/pci/rescan" : locked.toString();
    String unwritableFolder = root ? "/sys" : readOnly.toString();
    String[][] cases = {
      {"missing.h264: no such file", "decode", dir.resolve("missing.h264").toString()},
      {"no such folder", "decode", dir.resolve("nowhere/a.h264").toString()},
      {"no such folder " + dir.resolve("nowhere"), "decode", stream.toString(), "--output",
        dir.resolve("nowhere/out.y4m").toString()},
      {dir.resolve("nowhere/out.mp4") + ": no such folder", "encode", "--size", "64x48",
        "--frames", "2", "--output", dir.resolve("nowhere/out.mp4").toString()},
      {"is a folder, not a file", "decode", dir.toString()},
      {"is a folder, not a file", "decode", stream.toString(), "--output", dir.toString()},
      {unreadable + ": permission denied", "decode", unreadable},
      {"permission denied: cannot write in the folder " + unwritableFolder, "decode",
        stream.toString(), "--output", unwritableFolder + "/out.y4m"},
    };
    for (String[] c : cases) {
      ToolRun run = ToolRun.of(Arrays.copyOfRange(c, 1, c.length));
      assertEquals(Main.FAILURE, run.status(), run.toString());
      assertTrue(firstLine(run).startsWith("error: ") && firstLine(run).contains(c[0]),
          c[0] + ": " + run);
    }
  }

  @Test
  void anOutputThatIsASymbolicLinkStaysOneAndTheFileItNamesGetsTheData() throws Exception {
    Path stream = h264("in.h264");
    Path mp4 = dir.resolve("in.mp4");
    assertEquals(Main.OK, ToolRun.of("encode", "--size", "64x48", "--frames", "3", "--output",
        mp4.toString()).status());
    Path elsewhere = Files.createDirectory(dir.resolve("elsewhere"));
    // Each row: the command without its output, and the first bytes the output must start with.
    record Row(String name, String[] args, byte[] magic) {}
    List<Row> rows =
        List.of(
            new Row("out.mp4", new String[] {"encode", "--size", "64x48", "--frames", "2"},
                new byte[] {0, 0, 0, 0x20, 'f', 't', 'y', 'p'}),
            new Row("out.h264", new String[] {"encode", "--size", "64x48", "--frames", "2"},
                new byte[] {0, 0, 0, 1}),
            new Row("out.y4m", new String[] {"decode", stream.toString()},
                "YUV4MPEG2".getBytes(StandardCharsets.US_ASCII)),
            new Row("out.png", new String[] {"grab", mp4.toString(), "--frame", "1"},
                new byte[] {(byte) 0x89, 'P', 'N', 'G'}));
    for (Row row : rows) {
      for (boolean targetExists : new boolean[] {true, false}) {
        String name = row.name() + (targetExists ? ", over a file" : ", a dangling link");
        Path named = elsewhere.resolve(row.name());
        Files.deleteIfExists(named);
        if (targetExists) {
          Files.writeString(named, "old");
        }
        Path link = dir.resolve("link-" + row.name());
        Files.deleteIfExists(link);
        Files.createSymbolicLink(link, Path.of("elsewhere", row.name())); // relative, as ln -s
        List<String> args = new ArrayList<>(List.of(row.args()));
        args.addAll(List.of("--output", link.toString()));
        ToolRun run = ToolRun.of(args.toArray(String[]::new));
        assertEquals(Main.OK, run.status(), name + ": " + run);
        assertTrue(Files.isSymbolicLink(link), name + ": the link was replaced");
        byte[] written = Files.readAllBytes(named);
        assertArrayEquals(row.magic(), Arrays.copyOf(written, row.magic().length), name);
      }
    }
    assertEquals(List.of(), partFiles(), "temporary files were left behind");
  }

  @Test
  void standardInputAndOutputCarryTheDataAndTheSummaryStaysOutOfIt() throws Exception {
    Path source = y4m("clip.y4m", 64, 48, 4, "");
    Path stream = dir.resolve("clip.h264");
    assertEquals(Main.OK, ToolRun.of("encode", source.toString(), "--output", stream.toString())
        .status());
    Path decoded = dir.resolve("clip-decoded.y4m");
    assertEquals(Main.OK, ToolRun.of("decode", stream.toString(), "--output", decoded.toString())
        .status());
    Object[][] cases = {
      {Files.readAllBytes(source), new String[] {"encode", "-", "--output", "-"}, stream},
      {new byte[0], new String[] {"encode", source.toString(), "--output", "/dev/stdout"},
        stream},
      {Files.readAllBytes(stream), new String[] {"decode", "-", "--output", "-"}, decoded},
      {new byte[0], new String[] {"decode", stream.toString(), "--output", "/dev/stdout"},
        decoded},
    };
    for (Object[] c : cases) {
      String[] args = (String[]) c[1];
      ToolRun run = ToolRun.withInput((byte[]) c[0], args);
      assertEquals(Main.OK, run.status(), run.toString());
      assertArrayEquals(Files.readAllBytes((Path) c[2]), run.outBytes(), String.join(" ", args));
      assertTrue(run.err().contains("pictures:"), "the summary goes to standard error");
    }
    ToolRun both = ToolRun.of("roundtrip", "--output", "-", "--decoded", "/dev/stdout");
    assertEquals(Main.USAGE, both.status(), both.toString());
    assertTrue(firstLine(both).contains("cannot both go to standard output"), both.err());
    ToolRun summaryOnly = ToolRun.of("decode", stream.toString());
    assertTrue(summaryOnly.out().contains("pictures:"), "without data the summary stays on out");
  }

  @Test
  void fileEncodingKeepsEveryPictureUnlessFrameSkipIsAskedFor() {
    String[] starved = {"encode", "--size", "320x240", "--frames", "30", "--bitrate", "40",
      "--output", dir.resolve("starved.h264").toString()};
    ToolRun byDefault = ToolRun.of(starved);
    assertEquals(Main.OK, byDefault.status(), byDefault.toString());
    assertEquals("30 in, 30 encoded, 0 skipped by rate control", byDefault.summary("pictures"));
    String[] skipping = Arrays.copyOf(starved, starved.length + 2);
    skipping[starved.length] = "--frame-skip";
    skipping[starved.length + 1] = "on";
    ToolRun onRequest = ToolRun.of(skipping);
    assertFalse(onRequest.summary("pictures").contains(" 0 skipped"), onRequest.out());
    // Skipped pictures lengthen the one before them, the last one too: 30 at 30/s stay 1 s.
    String mp4 = dir.resolve("skipping.mp4").toString();
    skipping[Arrays.asList(skipping).indexOf("--output") + 1] = mp4;
    ToolRun intoMp4 = ToolRun.of(skipping);
    assertFalse(intoMp4.summary("pictures").contains(" 0 skipped"), intoMp4.out());
    assertTrue(ToolRun.of("info", mp4).summary("duration").startsWith("1.000 s"), mp4);
    assertTrue(new EncoderConfig().enableFrameSkip(), "the API keeps OpenH264's default");
  }

  @Test
  void optionsThatWouldNotTakeEffectAreRefusedOrWhatHappenedIsReported() throws Exception {
    for (String rc : new String[] {"off", "buffer"}) {
      ToolRun run = ToolRun.of("roundtrip", "--size", "64x48", "--rc", rc, "--bitrate", "300");
      assertEquals(Main.USAGE, run.status(), run.toString());
      assertTrue(firstLine(run).contains("--bitrate has no effect with --rc " + rc), run.err());
      ToolRun without = ToolRun.of("roundtrip", "--size", "64x48", "--frames", "3", "--rc", rc);
      assertTrue(without.summary("bytes").contains("no bit-rate target"), without.out());
    }
    for (String[] c : new String[][] {{"640x360", "8"}, {"320x240", "2"}}) {
      Path file = dir.resolve("slices.h264");
      ToolRun run = ToolRun.of("encode", "--size", c[0], "--frames", "2", "--slices", c[1],
          "--output", file.toString());
      assertEquals(Main.OK, run.status(), run.toString());
      byte[] stream = Files.readAllBytes(file);
      long slices = AnnexB.nalUnits(stream).stream().filter(NalUnit::isSlice).count() / 2;
      assertTrue(run.summary("slices").startsWith(slices + " per picture (" + c[1] + " asked)"),
          run.out());
      assertEquals(slices < Integer.parseInt(c[1]), run.err().contains("warning: --slices"),
          run.toString());
    }
  }

  @Test
  void y4mHeadersCarryTheStreamsRateAspectAndRangeAndInputTagsAreHeeded() throws Exception {
    Path x264 = X264Streams.make(dir, "vui", "64x48", "25", 2, "-vf", "setsar=4/3",
        "-color_range", "pc", "-pix_fmt", "yuv420p");
    Path ours = h264("ours.h264");
    Object[][] cases = {
      {x264, new String[0], "YUV4MPEG2 W64 H48 F25:1 Ip A4:3 C420mpeg2 XCOLORRANGE=FULL"},
      {ours, new String[0], "YUV4MPEG2 W64 H48 F30:1 Ip A0:0 C420mpeg2"},
      {ours, new String[] {"--fps", "12"}, "YUV4MPEG2 W64 H48 F12:1 Ip A0:0 C420mpeg2"},
      // NTSC rates as fractions, and their rounded decimals, are exactly n000/1001.
      {ours, new String[] {"--fps", "30000/1001"}, "YUV4MPEG2 W64 H48 F30000:1001 Ip A0:0 C420mpeg2"},
      {ours, new String[] {"--fps", "29.97"}, "YUV4MPEG2 W64 H48 F30000:1001 Ip A0:0 C420mpeg2"},
      {ours, new String[] {"--fps", "24000/1001"}, "YUV4MPEG2 W64 H48 F24000:1001 Ip A0:0 C420mpeg2"},
      {ours, new String[] {"--fps", "59.94"}, "YUV4MPEG2 W64 H48 F60000:1001 Ip A0:0 C420mpeg2"},
    };
    for (Object[] c : cases) {
      Path target = dir.resolve("header.y4m");
      List<String> args = new ArrayList<>(List.of("decode", c[0].toString(), "--output",
          target.toString()));
      args.addAll(List.of((String[]) c[1]));
      ToolRun run = ToolRun.of(args.toArray(String[]::new));
      assertEquals(Main.OK, run.status(), run.toString());
      assertEquals(c[2], Files.readAllLines(target, StandardCharsets.ISO_8859_1).get(0));
    }
    for (String tags : new String[] {"", " It XCOLORRANGE=FULL"}) {
      Path target = dir.resolve("tagged.h264");
      ToolRun run = ToolRun.of("encode", y4m("tagged.y4m", 64, 48, 2, tags).toString(),
          "--output", target.toString());
      assertEquals(Main.OK, run.status(), run.toString());
      assertEquals(!tags.isEmpty(), run.err().contains("warning: ")
          && run.err().contains("interlaced (It); they are coded as progressive frames"));
      assertEquals(!tags.isEmpty(),
          SequenceParameterSet.parse(X264Streams.firstSps(target)).fullRange(), tags);
    }
  }
}
