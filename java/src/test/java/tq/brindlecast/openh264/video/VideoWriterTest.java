package tq.brindlecast.openh264.video;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.RateControlMode;
import tq.brindlecast.openh264.Refusals;
import tq.brindlecast.openh264.bitstream.AnnexBWriter;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.bitstream.EncodedPictureSink;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.mp4.Mp4Peers;
import tq.brindlecast.openh264.mp4.Mp4Writer;

/** Pictures to video in three lines: what ffmpeg reads back from each kind of output. */
class VideoWriterTest {
  private static final int WIDTH = 64;
  private static final int HEIGHT = 48;
  private static final int PICTURES = 12;

  /** A colour gradient that slides with the index. */
  static BufferedImage image(int type, int index) {
    BufferedImage image = new BufferedImage(WIDTH, HEIGHT, type);
    for (int y = 0; y < HEIGHT; y++) {
      for (int x = 0; x < WIDTH; x++) {
        int red = (x * 4 + index * 8) & 0xFF;
        int green = y * 5;
        int blue = 255 - x * 3;
        image.setRGB(x, y, (red << 16) | (green << 8) | blue);
      }
    }
    return image;
  }

  private interface Opener {
    VideoWriter open(Path file) throws IOException;
  }

  @Test
  void everyOutputHoldsEveryPictureAtItsTime() throws Exception {
    Path dir = FfmpegTool.workDir("video-writer");
    record Row(String name, String extension, Opener opener, boolean images, boolean timed) {}
    List<Row> rows =
        List.of(
            new Row("images to an MP4 file", "mp4",
                file -> VideoWriter.toMp4(file, WIDTH, HEIGHT, 24), true, false),
            new Row("timed pictures to an MP4 stream", "mp4",
                file -> VideoWriter.toMp4(Files.newOutputStream(file), WIDTH, HEIGHT, 24), false,
                true),
            new Row("timed images to an MP4 file", "mp4",
                file -> VideoWriter.toMp4(file, WIDTH, HEIGHT, 24), true, true),
            new Row("images to an Annex B file", "h264",
                file -> VideoWriter.toAnnexB(file, WIDTH, HEIGHT, 24), true, false));
    for (Row row : rows) {
      Path file = dir.resolve(row.name().replace(' ', '-') + "." + row.extension());
      I420Picture[] sources = new I420Picture[PICTURES];
      try (VideoWriter video = row.opener().open(file)) {
        for (int i = 0; i < PICTURES; i++) {
          BufferedImage image = image(BufferedImage.TYPE_3BYTE_BGR, i);
          sources[i] = ImageConversions.toI420(image);
          long time = 50_000L * i + (i % 2) * 10_000; // 60 and 40 ms apart by turns
          if (row.images() && row.timed()) {
            video.write(image, time);
          } else if (row.images()) {
            video.write(image);
          } else if (row.timed()) {
            video.write(sources[i], time);
          } else {
            video.write(sources[i]);
          }
        }
        assertEquals(PICTURES, video.pictureCount(), row.name());
        video.finish();
      }
      Map<String, String> probe = Mp4Peers.probe(file);
      assertEquals(String.valueOf(PICTURES), probe.get("nb_read_frames"), row.name());
      if (row.extension().equals("mp4")) {
        double duration = row.timed() ? 0.62 : PICTURES / 24.0; // last time 0.56 + 0.06
        assertEquals(duration, Double.parseDouble(probe.get("format_duration")), 0.002,
            row.name());
      }
      byte[] decoded = Mp4Peers.decode(file, dir.resolve("decoded.yuv"));
      int size = I420Picture.packedSize(WIDTH, HEIGHT);
      assertEquals(PICTURES * size, decoded.length, row.name());
      for (int i = 0; i < PICTURES; i++) {
        double psnr = FfmpegTool.psnr(sources[i].toPacked(), 0, decoded, i * size, size);
        assertTrue(psnr > 30, row.name() + ": picture " + i + " at " + psnr + " dB");
      }
    }
  }

  @Test
  void imagesOfEveryKindGiveTheStreamOfTheirI420Pictures() throws Exception {
    // The standard layouts go to the encoder as pixels; a sub-image and a 16-bit image are
    // converted in Java first. Rate control is off, so that only the pictures can tell apart.
    int[] types = {BufferedImage.TYPE_INT_RGB, BufferedImage.TYPE_INT_ARGB,
        BufferedImage.TYPE_INT_ARGB_PRE, BufferedImage.TYPE_INT_BGR, BufferedImage.TYPE_3BYTE_BGR,
        BufferedImage.TYPE_4BYTE_ABGR, BufferedImage.TYPE_4BYTE_ABGR_PRE,
        BufferedImage.TYPE_USHORT_565_RGB, -1};
    for (int type : types) {
      ByteArrayOutputStream fromImages = new ByteArrayOutputStream();
      ByteArrayOutputStream fromPictures = new ByteArrayOutputStream();
      try (VideoWriter images = unlimited(fromImages); VideoWriter pictures = unlimited(
          fromPictures)) {
        for (int i = 0; i < 3; i++) {
          BufferedImage opaque = image(BufferedImage.TYPE_INT_RGB, i);
          BufferedImage image;
          if (type < 0) {
            BufferedImage larger = new BufferedImage(WIDTH + 6, HEIGHT + 4, opaque.getType());
            larger.getGraphics().drawImage(opaque, 3, 1, null);
            image = larger.getSubimage(3, 1, WIDTH, HEIGHT);
          } else {
            image = new BufferedImage(WIDTH, HEIGHT, type);
            for (int y = 0; y < HEIGHT; y++) {
              for (int x = 0; x < WIDTH; x++) {
                image.setRGB(x, y, 0xC0000000 | opaque.getRGB(x, y)); // alpha 192 where held
              }
            }
          }
          images.write(image);
          pictures.write(ImageConversions.toI420(image));
        }
        images.finish();
        pictures.finish();
      }
      assertArrayEquals(fromPictures.toByteArray(), fromImages.toByteArray(), "type " + type);
    }
  }

  private static VideoWriter unlimited(OutputStream out) {
    return VideoWriter.toAnnexB(out, WIDTH, HEIGHT, 30)
        .configure(new EncoderConfig().setRcMode(RateControlMode.OFF), 500);
  }

  @Test
  void refusalsComeBeforeTheEncoderSeesThePicture() throws Exception {
    Path dir = FfmpegTool.workDir("video-writer-refusals");
    Path file = dir.resolve("refusals.mp4");
    BufferedImage good = image(BufferedImage.TYPE_INT_RGB, 0);
    try (VideoWriter video = VideoWriter.toMp4(file, WIDTH, HEIGHT, 30)) {
      video.write(good, 1_000_000);
      Refusals.assertRefused(IllegalArgumentException.class, "increase",
          () -> video.write(good, 1_000_000));
      Refusals.assertRefused(IllegalArgumentException.class, "is 32x32 but this video is 64x48",
          () -> video.write(new BufferedImage(32, 32, BufferedImage.TYPE_INT_RGB)));
      Refusals.assertRefused(IllegalArgumentException.class, "64x48",
          () -> video.write(I420Picture.allocate(WIDTH, HEIGHT + 2)));
      Refusals.assertRefused(IllegalStateException.class, "before the first picture",
          () -> video.configure(new EncoderConfig(), 500));
      video.write(image(BufferedImage.TYPE_INT_RGB, 1), 1_040_000);
      video.finish();
    }
    assertEquals("2", Mp4Peers.probe(file).get("nb_read_frames"));
    Mp4Peers.decodesWithoutError(file);
    Refusals.assertRefused(IllegalArgumentException.class, "even",
        () -> VideoWriter.toMp4(file, 63, 48, 30));
    Refusals.assertRefused(IllegalArgumentException.class, "fps",
        () -> VideoWriter.toAnnexB(Files.newOutputStream(dir.resolve("x.h264")), 64, 48, 0));
  }

  /** A writer under test, whichever kind: picture {@code index} written, given up or closed. */
  private interface Output extends AutoCloseable {
    void write(int index) throws IOException;

    void abort();

    @Override
    void close();
  }

  private interface OutputOpener {
    Output open(Path file) throws IOException;
  }

  private static Output video(VideoWriter video) {
    return new Output() {
      @Override
      public void write(int index) throws IOException {
        video.write(image(BufferedImage.TYPE_INT_RGB, index));
      }

      @Override
      public void abort() {
        video.abort();
      }

      @Override
      public void close() {
        video.close();
      }
    };
  }

  private static Output sink(EncodedPictureSink sink, List<EncodedFrame> frames) {
    return new Output() {
      @Override
      public void write(int index) throws IOException {
        sink.write(frames.get(index));
      }

      @Override
      public void abort() {
        sink.abort();
      }

      @Override
      public void close() {
        sink.close();
      }
    };
  }

  @Test
  void aWriterGivenUpLeavesTheFileAlreadyThereAndNoTemporaryFile() throws Exception {
    Path dir = Files.createTempDirectory(FfmpegTool.workDir("video-writer-abort"), "run");
    List<EncodedFrame> frames = Mp4Peers.encode(WIDTH, HEIGHT, 2, 0);
    record Target(String name, String extension, OutputOpener opener) {}
    List<Target> targets =
        List.of(
            new Target("VideoWriter, MP4", "mp4",
                file -> video(VideoWriter.toMp4(file, WIDTH, HEIGHT, 24))),
            new Target("VideoWriter, Annex B", "h264",
                file -> video(VideoWriter.toAnnexB(file, WIDTH, HEIGHT, 24))),
            new Target("Mp4Writer", "mp4",
                file -> sink(Mp4Writer.toFile(file, WIDTH, HEIGHT, 24), frames)),
            new Target("AnnexBWriter", "h264", file -> sink(AnnexBWriter.toFile(file), frames)));
    // How each gives up; the message of the exception that leaves the block, if any.
    record Way(String name, String message, Consumer<Output> body) {}
    List<Way> ways =
        List.of(
            new Way("an exception inside try-with-resources", "the loop failed", output -> {
              throw new IllegalStateException("the loop failed");
            }),
            new Way("abort()", null, Output::abort),
            new Way("close() without finish()", "without finish()", output -> {}));
    byte[] before = "the good video already here".getBytes(StandardCharsets.US_ASCII);
    for (Target target : targets) {
      for (Way way : ways) {
        String row = target.name() + ", " + way.name();
        Path file = dir.resolve("kept." + target.extension());
        Files.write(file, before);
        Executable run = () -> {
          try (Output output = target.opener().open(file)) {
            output.write(0);
            output.write(1);
            way.body().accept(output);
          }
        };
        if (way.message() == null) {
          assertDoesNotThrow(run, row);
        } else {
          IllegalStateException thrown = assertThrows(IllegalStateException.class, run, row);
          assertTrue(thrown.getMessage().contains(way.message()), row + ": " + thrown);
        }
        assertArrayEquals(before, Files.readAllBytes(file), row);
        try (Stream<Path> left = Files.list(dir)) {
          assertEquals(List.of(file), left.toList(), row + ": only the file that was there");
        }
        Files.delete(file);
      }
    }
  }
}
