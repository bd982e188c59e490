package tq.brindlecast.openh264.video;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.Refusals;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.mp4.Mp4Peers;

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
    }
    assertEquals("2", Mp4Peers.probe(file).get("nb_read_frames"));
    Mp4Peers.decodesWithoutError(file);
    Refusals.assertRefused(IllegalArgumentException.class, "even",
        () -> VideoWriter.toMp4(file, 63, 48, 30));
    Refusals.assertRefused(IllegalArgumentException.class, "fps",
        () -> VideoWriter.toAnnexB(Files.newOutputStream(dir.resolve("x.h264")), 64, 48, 0));
  }
}
