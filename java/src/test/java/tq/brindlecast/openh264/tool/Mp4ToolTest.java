package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.Color;
import java.awt.GradientPaint;
import java.awt.Graphics2D;
import java.awt.image.BufferedImage;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Random;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.image.YuvColour;
import tq.brindlecast.openh264.image.YuvColour.Matrix;
import tq.brindlecast.openh264.mp4.Mp4Peers;
import tq.brindlecast.openh264.mp4.Orientation;
import tq.brindlecast.openh264.video.FrameGrabber;
import tq.brindlecast.openh264.video.VideoReader;
import tq.brindlecast.openh264.video.VideoWriter;

/** decode, grab and info on MP4 files (and info on H.264 streams), against ffmpeg and ffprobe. */
class Mp4ToolTest {
  private static final int WIDTH = 160;
  private static final int HEIGHT = 120;
  private static final int FRAMES = 40;

  @TempDir Path dir;

  /** A file ffmpeg makes of its 30/s test source with the given output options. */
  private Path ffmpeg(String name, String... options) throws Exception {
    List<String> args = new ArrayList<>(List.of("-loglevel", "error", "-f", "lavfi", "-i",
        "testsrc2=size=" + WIDTH + "x" + HEIGHT + ":rate=30"));
    args.addAll(List.of(options));
    args.addAll(List.of("-frames:v", String.valueOf(FRAMES), dir.resolve(name).toString()));
    FfmpegTool.run(args.toArray(String[]::new));
    return dir.resolve(name);
  }

  private static double rational(String value) {
    String[] parts = value.split("/");
    return Double.parseDouble(parts[0]) / Double.parseDouble(parts[1]);
  }

  private static double firstNumber(String text) {
    return Double.parseDouble(text.substring(0, text.indexOf(' ')));
  }

  /**
   * Files cut short, a faststart one inside its mdat and a one-fragment recording inside its
   * fragment: decode writes every picture whose sample is whole, as many as ffmpeg recovers (it
   * may also show the cut one), grab takes one, info says what is missing, and decode and grab
   * say it too and exit 1.
   */
  @Test
  void aFileCutShortGivesWhatItHoldsAndSaysWhatWasLost() throws Exception {
    Map<String, Path> whole = Map.of(
        "faststart", ffmpeg("faststart.mp4", "-c:v", "libx264", "-bf", "2", "-g", "12",
            "-movflags", "+faststart"),
        "one-fragment", ffmpeg("one-fragment.mp4", "-c:v", "libx264", "-bf", "0", "-g", "1000",
            "-movflags", "frag_keyframe+empty_moov"));
    int pictureBytes = WIDTH * HEIGHT * 3 / 2;
    for (Map.Entry<String, Path> file : whole.entrySet()) {
      byte[] bytes = Files.readAllBytes(file.getValue());
      Path cut = Files.write(dir.resolve("cut-" + file.getKey() + ".mp4"),
          Arrays.copyOf(bytes, bytes.length * 7 / 10));
      Path raw = dir.resolve("cut-" + file.getKey() + ".yuv");
      FfmpegTool.run("-loglevel", "quiet", "-i", cut.toString(), "-f", "rawvideo", "-pix_fmt",
          "yuv420p", raw.toString());
      long ffmpegPictures = Files.size(raw) / pictureBytes;

      Path y4m = dir.resolve("cut-" + file.getKey() + ".y4m");
      ToolRun decode = ToolRun.of("decode", cut.toString(), "--output", y4m.toString());
      assertEquals(Main.FAILURE, decode.status(), decode.toString());
      assertTrue(decode.err().contains("was cut short: "), decode.toString());
      byte[] written = Files.readAllBytes(y4m);
      int header = new String(written, 0, 200, java.nio.charset.StandardCharsets.US_ASCII)
          .indexOf('\n') + 1;
      long ours = (written.length - header) / (6 + pictureBytes);
      assertTrue(ours > 0 && (ours == ffmpegPictures || ours == ffmpegPictures - 1),
          file.getKey() + ": " + ours + " pictures, ffmpeg " + ffmpegPictures);

      ToolRun info = ToolRun.of("info", cut.toString());
      assertEquals(Main.OK, info.status(), info.toString());
      assertTrue(info.summary("damaged").matches(
          "cut short: [1-9][0-9]* bytes missing, [1-9][0-9]* of " + FRAMES + " samples lost; .*"),
          info.toString());

      Path png = dir.resolve("cut-" + file.getKey() + ".png");
      ToolRun grab =
          ToolRun.of("grab", cut.toString(), "--frame", "0", "--output", png.toString());
      assertEquals(Main.FAILURE, grab.status(), grab.toString());
      assertTrue(grab.err().contains("was cut short") && Files.size(png) > 0, grab.toString());
    }
  }

  @Test
  void infoAgreesWithFfprobeOnEveryKindOfFile() throws Exception {
    Path ours = dir.resolve("ours.mp4");
    ToolRun encode = ToolRun.of("encode", "--size", "96x64", "--frames", "30", "--fps", "25",
        "--intra-period", "10", "--entropy", "cabac", "--output", ours.toString());
    assertEquals(Main.OK, encode.status(), encode.toString());
    ToolRun fragmented = ToolRun.of("encode", "--size", "96x64", "--frames", "20",
        "--intra-period", "8", "--format", "mp4", "--output", "-");
    assertEquals(Main.OK, fragmented.status(), fragmented.toString());
    List<Path> files = List.of(
        ours,
        Files.write(dir.resolve("ours-fragmented.mp4"), fragmented.outBytes()),
        ffmpeg("bframes.mp4", "-c:v", "libx264", "-bf", "2", "-g", "12", "-movflags",
            "+faststart"),
        ffmpeg("ffmpeg-fragmented.mp4", "-c:v", "libx264", "-profile:v", "main", "-bf", "0",
            "-g", "10", "-movflags", "frag_keyframe+empty_moov"),
        // The first picture at 2 frames, as B-frames without an edit list leave it.
        ffmpeg("bframes-no-edit-list.mp4", "-c:v", "libx264", "-bf", "2", "-g", "12",
            "-movflags", "frag_keyframe+empty_moov", "-use_editlist", "0"),
        ffmpeg("x264.h264", "-c:v", "libx264", "-bf", "0", "-g", "15", "-f", "h264"));
    for (Path file : files) {
      String name = file.getFileName().toString();
      ToolRun info = ToolRun.of("info", file.toString());
      assertEquals(Main.OK, info.status(), name + ": " + info);
      Map<String, String> probe = Mp4Peers.probe(file);
      int level = Integer.parseInt(probe.get("level"));
      String codec = info.summary("codec");
      assertTrue(codec.startsWith("H.264 " + probe.get("profile") + " (profile_idc "), name
          + ": " + codec + " " + probe);
      assertTrue(codec.endsWith(", level " + level / 10 + "." + level % 10), name + ": " + codec);
      assertEquals(probe.get("width") + "x" + probe.get("height"), info.summary("size"), name);
      assertEquals(probe.get("nb_read_frames"), info.summary("pictures"), name);
      assertEquals(String.valueOf(Mp4Peers.keyFrames(file)), info.summary("key frames"), name);
      double rate = firstNumber(info.summary("frame rate"));
      assertEquals(rational(probe.get("r_frame_rate")), rate, 0.001, name);
      double duration = firstNumber(info.summary("duration"));
      if (name.endsWith(".mp4")) {
        assertEquals(Double.parseDouble(probe.get("format_duration")), duration, 0.002, name);
      } else {
        assertTrue(info.summary("frame rate").endsWith("(from the stream's SPS)"), info.out());
        assertEquals(Integer.parseInt(probe.get("nb_read_frames")) / rate, duration, 0.001);
      }
    }
    Path noTiming = dir.resolve("no-timing.h264");
    ToolRun pattern = ToolRun.of("encode", "--size", "64x48", "--frames", "6", "--output",
        noTiming.toString());
    assertEquals(Main.OK, pattern.status(), pattern.toString());
    ToolRun unknown = ToolRun.of("info", noTiming.toString());
    assertTrue(unknown.summary("duration").startsWith("unknown: a raw H.264 stream has no time"
        + " stamps"), unknown.out());
    ToolRun given = ToolRun.of("info", noTiming.toString(), "--fps", "12");
    assertEquals("0.500 s", given.summary("duration"), given.out());
    assertEquals("12 pictures/s (from --fps)", given.summary("frame rate"), given.out());
  }

  @Test
  void decodeAndGrabGiveFfmpegsPicturesAndRefuseWhatTheyCannotGive() throws Exception {
    Path progressive = ffmpeg("faststart.mp4", "-c:v", "libx264", "-bf", "0", "-weightp", "0",
        "-g", "12", "-movflags", "+faststart");
    Path fragmented = ffmpeg("fragmented.mp4", "-c:v", "libx264", "-bf", "0", "-weightp", "0",
        "-g", "10", "-movflags", "frag_keyframe+empty_moov");
    // Cut at 0.5 s without re-encoding: an edit list hides the first 15 pictures.
    Path gop30 = ffmpeg("gop30.mp4", "-c:v", "libx264", "-bf", "0", "-weightp", "0", "-g", "30");
    Path edited = dir.resolve("edit-list.mp4");
    FfmpegTool.run("-loglevel", "error", "-ss", "0.5", "-i", gop30.toString(), "-c", "copy",
        edited.toString());
    // Its first picture at 2 frames: times count from it, as ffmpeg's -ss does.
    // OpenH264 decodes x264's B slices close to ffmpeg but not exactly: those are checked to be
    // the right pictures, and grabs to be the pictures decode gives.
    Path late = ffmpeg("bframes-no-edit-list.mp4", "-c:v", "libx264", "-bf", "2", "-weightp",
        "0", "-x264-params", "b-pyramid=none:weightb=0", "-g", "10", "-movflags",
        "frag_keyframe+empty_moov", "-use_editlist", "0");
    int size = I420Picture.packedSize(WIDTH, HEIGHT);
    for (Path file : List.of(progressive, fragmented, edited, late)) {
      String name = file.getFileName().toString();
      int shown = file == edited ? FRAMES - 15 : FRAMES;
      byte[] ffmpeg = Mp4Peers.decode(file, dir.resolve("ffmpeg.yuv"));
      assertEquals(shown * size, ffmpeg.length, name);
      Path y4m = dir.resolve(name + ".y4m");
      ToolRun decode = file == fragmented
          ? ToolRun.withInput(Files.readAllBytes(file), "decode", "-", "--output", y4m.toString())
          : ToolRun.of("decode", file.toString(), "--output", y4m.toString());
      assertEquals(Main.OK, decode.status(), name + ": " + decode);
      List<byte[]> ours = new ArrayList<>();
      List<byte[]> theirs = new ArrayList<>();
      try (Y4mReader reader = new Y4mReader(Files.newInputStream(y4m), name)) {
        assertEquals(30.0, reader.format().fps(), 1e-9, name + ": the MP4's rate in the header");
        for (I420Picture p; (p = reader.next()) != null; ) {
          ours.add(p.toPacked());
          theirs.add(Arrays.copyOfRange(ffmpeg, (ours.size() - 1) * size, ours.size() * size));
        }
      }
      assertEquals(shown, ours.size(), name);
      for (int t = 0; t < shown; t++) {
        if (file == late) {
          FfmpegTool.assertShownInOrder(theirs, ours, t, 38);
        } else {
          assertArrayEquals(theirs.get(t), ours.get(t), name + ": picture " + t);
        }
      }
      if (file == edited) {
        continue;
      }
      // 0.6 s is picture 18 of 30/s; the last picture is 39. --every 0.5 writes pictures 0, 15
      // and 30 to every01.png to every03.png.
      String[][] grabs = {{"--frame", "17"}, {"--at", "0.6"}, {"--frame", "39"}, {"--at", "0"},
          {"--every", "0.5"}};
      int[][] pictures = {{17}, {18}, {39}, {0}, {0, 15, 30}};
      if (file == progressive) {
        // Key frames every 12 pictures: the one at or before picture 18 is picture 12.
        grabs = Arrays.copyOf(grabs, grabs.length + 1);
        grabs[grabs.length - 1] = new String[] {"--at", "0.6", "--seek", "key-frame"};
        pictures = Arrays.copyOf(pictures, pictures.length + 1);
        pictures[pictures.length - 1] = new int[] {12};
      }
      for (int g = 0; g < grabs.length; g++) {
        boolean series = grabs[g][0].equals("--every");
        Path png = dir.resolve(series ? "every%02d.png" : "grab.png");
        List<String> args = new ArrayList<>(List.of("grab", file.toString()));
        args.addAll(List.of(grabs[g]));
        args.addAll(List.of("--output", png.toString()));
        ToolRun grab = ToolRun.of(args.toArray(String[]::new));
        assertEquals(Main.OK, grab.status(), name + ": " + grab);
        String expectedPick = series ? "3, one every 0.500 s, "
            : grabs[g].length > 2 ? "the key frame at or before the picture shown at 0.600 s, "
            : grabs[g][0].equals("--at")
            ? String.format(Locale.ROOT, "shown at %.3f s, ", Double.parseDouble(grabs[g][1]))
            : "picture ";
        assertTrue(grab.summary(series ? "pictures" : "picture").startsWith(expectedPick),
            grab.out());
        assertTrue(grab.summary("input").endsWith(", 40 pictures, 1.333 s"), grab.out());
        for (int p = 0; p < pictures[g].length; p++) {
          BufferedImage expected = ImageConversions.toImage(
              I420Picture.fromPacked(ours.get(pictures[g][p]), WIDTH, HEIGHT));
          Path written = series ? dir.resolve(String.format(Locale.ROOT, "every%02d.png", p + 1))
              : png;
          BufferedImage image = ImageIO.read(written.toFile());
          for (int y = 0; y < HEIGHT; y++) {
            for (int x = 0; x < WIDTH; x++) {
              assertEquals(expected.getRGB(x, y), image.getRGB(x, y),
                  name + " " + String.join(" ", grabs[g]) + ": " + written.getFileName()
                      + " pixel " + x + "," + y);
            }
          }
        }
        if (series) {
          assertFalse(Files.exists(dir.resolve("every04.png")), "no picture after the end");
        }
      }
    }
    // What grab, decode and info cannot read is refused with the reason; nothing is written.
    Path h264 = ffmpeg("clip.h264", "-c:v", "libx264", "-f", "h264");
    Path mpeg4 = ffmpeg("mpeg4.mp4", "-c:v", "mpeg4");
    FfmpegTool.run("-loglevel", "error", "-f", "lavfi", "-i", "sine=duration=1", "-c:a", "aac",
        dir.resolve("audio.mp4").toString());
    // Random bytes with start codes and the NAL unit types of parameter sets and slices.
    byte[] bytes = new byte[20_000];
    new Random(7).nextBytes(bytes);
    for (int at = 0; at + 4 < bytes.length; at += 500) {
      bytes[at] = 0;
      bytes[at + 1] = 0;
      bytes[at + 2] = 1;
      bytes[at + 3] = new byte[] {0x67, 0x68, 0x65, 0x41}[at / 500 % 4];
    }
    Path noise = Files.write(dir.resolve("noise.h264"), bytes);
    Path target = dir.resolve("out.png");
    String[][] refused = {
      {"there is no picture 40", "grab", progressive.toString(), "--frame", "40"},
      {"no picture is shown at 2.500 s: the video lasts 1.333 s", "grab",
          progressive.toString(), "--at", "2.5"},
      {"is not an MP4 file", "grab", h264.toString(), "--frame", "0"},
      {"the video track is mp4v", "grab", mpeg4.toString(), "--frame", "0"},
      {"the video track is mp4v", "decode", mpeg4.toString()},
      {"no video track", "info", dir.resolve("audio.mp4").toString()},
      {"is not an H.264 Annex B stream", "info", noise.toString()},
      {"no video track", "decode", dir.resolve("audio.mp4").toString()},
    };
    for (String[] row : refused) {
      List<String> args = new ArrayList<>(List.of(row).subList(1, row.length));
      args.addAll(List.of("--output", target.toString()));
      if (row[1].equals("info")) {
        args = args.subList(0, 2);
      }
      ToolRun run = ToolRun.of(args.toArray(String[]::new));
      assertEquals(Main.FAILURE, run.status(), run.toString());
      assertTrue(run.err().startsWith("error: ") && run.err().contains(row[0]), run.toString());
      assertFalse(Files.exists(target), row[0]);
    }
  }

  @Test
  void grabbedImagesFollowTheStreamsMatrixAndRangeWithinTwoLevelsOfFfmpeg() throws Exception {
    Path plain = ffmpeg("plain.h264", "-c:v", "libx264", "-bf", "0", "-f", "h264");
    // A colr box saying BT.709 in full range, and the same in the VUI.
    Path described = ffmpeg("colr.mp4", "-c:v", "libx264", "-bf", "0", "-colorspace", "bt709",
        "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "pc");
    // The same pictures, told apart only by what the SPS's VUI says of them.
    Object[][] rows = {
      {plain, "", YuvColour.BT601_LIMITED},
      {plain, "matrix_coefficients=1:video_full_range_flag=0", new YuvColour(Matrix.BT709, false)},
      {plain, "matrix_coefficients=1:video_full_range_flag=1", new YuvColour(Matrix.BT709, true)},
      {plain, "matrix_coefficients=6:video_full_range_flag=1", new YuvColour(Matrix.BT601, true)},
      // The VUI leaves the matrix unspecified: the colr box gives it (ffmpeg looks no further
      // than the VUI, so only the choice is checked).
      {described, "matrix_coefficients=2", new YuvColour(Matrix.BT709, true)},
    };
    for (Object[] row : rows) {
      String vui = (String) row[1];
      Path file = dir.resolve("colour.mp4");
      List<String> args = new ArrayList<>(List.of("-loglevel", "error", "-y", "-i",
          row[0].toString(), "-c", "copy"));
      if (!vui.isEmpty()) {
        args.addAll(List.of("-bsf:v", "h264_metadata=" + vui));
      }
      args.add(file.toString());
      FfmpegTool.run(args.toArray(String[]::new));
      try (FrameGrabber grabber = FrameGrabber.open(file);
          VideoReader reader = VideoReader.open(file)) {
        assertEquals(row[2], grabber.colour(), vui);
        assertEquals(row[2], reader.colour(), vui + ": the reader's colour");
        assertArrayEquals(pixels(grabber.image(0)), pixels(reader.nextImage(null)),
            vui + ": the reader's first image");
      }
      if (row[0] == described) {
        continue;
      }
      // Without the container, the reader takes the colour from the SPS in the stream.
      Path annexB = dir.resolve("colour.h264");
      FfmpegTool.run("-loglevel", "error", "-y", "-i", file.toString(), "-c", "copy",
          annexB.toString());
      try (VideoReader mp4 = VideoReader.open(file);
          VideoReader stream = VideoReader.open(annexB)) {
        assertArrayEquals(pixels(mp4.nextImage(null)), pixels(stream.nextImage(null)), vui);
        assertEquals(row[2], stream.colour(), vui + ": the Annex B reader's colour");
      }
      Path png = dir.resolve("colour.png");
      ToolRun grab = ToolRun.of("grab", file.toString(), "--frame", "0", "--output",
          png.toString());
      assertEquals(Main.OK, grab.status(), grab.toString());
      int worst = worstDifference(png, file);
      assertTrue(worst <= 2, vui + ": a pixel differs from ffmpeg's by " + worst + " levels");
    }
    // What the library writes says in its VUI and its colr box how images became pictures.
    Path ours = dir.resolve("ours.mp4");
    try (VideoWriter writer = VideoWriter.toMp4(ours, WIDTH, HEIGHT, 30)) {
      writer.write(ImageConversions.toImage(I420Picture.allocate(WIDTH, HEIGHT)));
      writer.finish();
    }
    Map<String, String> probe = Mp4Peers.probe(ours);
    assertEquals("smpte170m tv", probe.get("color_space") + " " + probe.get("color_range"),
        probe.toString());
    byte[] bytes = Files.readAllBytes(ours);
    String hex = HexFormat.of().formatHex(bytes);
    assertTrue(hex.contains("636f6c726e636c7800060006000600"), "colr nclx 6/6/6, limited range");
    try (FrameGrabber grabber = FrameGrabber.open(ours)) {
      assertEquals(YuvColour.BT601_LIMITED, grabber.colour());
    }
  }

  @Test
  void grabsAreTurnedAsTheTrackMatrixSaysAndAsFfmpegShowsThem() throws Exception {
    // An image no turn or mirror leaves alike, written with each orientation, and ffmpeg's
    // rotate tag on a file of its own. ffmpeg 5.1 turns by the matrix but does not mirror, so
    // mirrored rows are checked against its filters on the picture as decoded.
    BufferedImage pattern = new BufferedImage(WIDTH, HEIGHT, BufferedImage.TYPE_INT_RGB);
    Graphics2D g = pattern.createGraphics();
    // Colours short of saturation, where ffmpeg's table conversion strays by 3 levels.
    g.setPaint(new GradientPaint(0, 0, new Color(40, 60, 160), WIDTH, HEIGHT,
        new Color(200, 180, 60)));
    g.fillRect(0, 0, WIDTH, HEIGHT);
    g.setColor(Color.RED);
    g.fillRect(8, 8, 40, 20);
    g.dispose();
    Path tagged = dir.resolve("tagged.mp4");
    FfmpegTool.run("-loglevel", "error", "-y", "-i", ffmpeg("plain.mp4", "-c:v", "libx264")
        .toString(), "-c", "copy", "-metadata:s:v:0", "rotate=90", tagged.toString());
    for (Orientation orientation : Orientation.values()) {
      Path file = dir.resolve(orientation + ".mp4");
      try (VideoWriter writer = VideoWriter.toMp4(file, WIDTH, HEIGHT, 30)) {
        writer.orientation(orientation).write(pattern);
        writer.finish();
      }
      assertOrientation(file, orientation);
    }
    // ffmpeg 5.1 writes "rotate=90" as a quarter turn counter-clockwise; ffprobe agrees.
    assertOrientation(tagged, Orientation.ROTATE_270);
    assertEquals("rotated 90° counter-clockwise: shown 120x160",
        ToolRun.of("info", tagged.toString()).summary("display"));
    try (VideoWriter annexB = VideoWriter.toAnnexB(dir.resolve("x.h264"), WIDTH, HEIGHT, 30)) {
      IllegalStateException refused = assertThrows(IllegalStateException.class,
          () -> annexB.orientation(Orientation.ROTATE_90));
      assertTrue(refused.getMessage().contains("Annex B"), refused.getMessage());
      annexB.abort();
    }
  }

  /** The file reads as turned, and grab gives what ffmpeg shows, turned and as decoded. */
  private void assertOrientation(Path file, Orientation orientation) throws Exception {
    String name = file.getFileName() + " " + orientation;
    try (FrameGrabber grabber = FrameGrabber.open(file)) {
      assertEquals(orientation, grabber.orientation(), name);
      BufferedImage image = grabber.image(0);
      assertEquals(orientation.swapsSides() ? HEIGHT : WIDTH, image.getWidth(), name);
    }
    String display = ToolRun.of("info", file.toString()).summary("display");
    assertEquals(orientation == Orientation.NORMAL, display.equals("as decoded"), display);
    assertTrue(display.startsWith(orientation.description()), display);
    String turn = switch (orientation.degrees()) {
      case 90 -> "transpose=clock";
      case 180 -> "hflip,vflip";
      case 270 -> "transpose=cclock";
      default -> "null";
    };
    Path png = dir.resolve("turned.png");
    for (boolean asDecoded : new boolean[] {false, true}) {
      ToolRun grab = asDecoded
          ? ToolRun.of("grab", file.toString(), "--frame", "0", "--output", png.toString(),
              "--as-decoded")
          : ToolRun.of("grab", file.toString(), "--frame", "0", "--output", png.toString());
      assertEquals(Main.OK, grab.status(), grab.toString());
      int worst = asDecoded
          ? worstDifference(png, file, "-noautorotate")
          : orientation.mirrored()
              ? worstDifference(png, file, "-noautorotate", "-vf", "hflip," + turn)
              : worstDifference(png, file);
      assertTrue(worst <= 2, name + (asDecoded ? " as decoded" : "") + ": differs by " + worst);
    }
  }

  /** The largest difference of a PNG from ffmpeg's RGB of a video's first picture. */
  private int worstDifference(Path png, Path video, String... ffmpegOptions) throws Exception {
    Path rgb = dir.resolve("ffmpeg.rgb");
    List<String> args = new ArrayList<>(List.of("-loglevel", "error", "-y"));
    int filter = Arrays.asList(ffmpegOptions).indexOf("-vf");
    // Input options before the input, filters after it.
    args.addAll(Arrays.asList(ffmpegOptions).subList(0, filter < 0 ? ffmpegOptions.length
        : filter));
    args.addAll(List.of("-i", video.toString()));
    if (filter >= 0) {
      args.addAll(Arrays.asList(ffmpegOptions).subList(filter, ffmpegOptions.length));
    }
    args.addAll(List.of("-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", rgb.toString()));
    FfmpegTool.run(args.toArray(String[]::new));
    byte[] expected = Files.readAllBytes(rgb);
    BufferedImage image = ImageIO.read(png.toFile());
    assertEquals(expected.length, 3 * image.getWidth() * image.getHeight(), "ffmpeg's size");
    int worst = 0;
    for (int at = 0; at < image.getWidth() * image.getHeight(); at++) {
      int pixel = image.getRGB(at % image.getWidth(), at / image.getWidth());
      for (int c = 0; c < 3; c++) {
        int ours = (pixel >> (16 - 8 * c)) & 0xFF;
        worst = Math.max(worst, Math.abs(ours - (expected[3 * at + c] & 0xFF)));
      }
    }
    return worst;
  }

  private static int[] pixels(BufferedImage image) {
    return image.getRGB(0, 0, image.getWidth(), image.getHeight(), null, 0, image.getWidth());
  }
}
