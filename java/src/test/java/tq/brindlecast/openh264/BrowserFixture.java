package tq.brindlecast.openh264;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import tq.brindlecast.openh264.video.VideoWriter;

/**
 * Writes the MP4s the browser test plays, a progressive file and a fragmented stream, from
 * pictures at alternating intervals of 30 and 50 ms, and {@code expected.json}: their size and
 * duration, and for a few times the colour of the picture shown then, read from the source image.
 *
 * <p>Run by the browser test: {@code java ... BrowserFixture DIR}.
 */
public final class BrowserFixture {
  static final int WIDTH = 320;
  static final int HEIGHT = 240;
  static final int PICTURES = 60;
  private static final int[] COLOURS = {
    0xE02020, 0x20C040, 0x2040E0, 0xE0E030, 0x30D0D0, 0xD030D0
  };

  private BrowserFixture() {}

  /** Picture {@code index}: a flat colour, one of six in turn, with a darker stripe. */
  static BufferedImage picture(int index) {
    BufferedImage image = new BufferedImage(WIDTH, HEIGHT, BufferedImage.TYPE_INT_RGB);
    int colour = COLOURS[index % COLOURS.length];
    for (int y = 0; y < HEIGHT; y++) {
      for (int x = 0; x < WIDTH; x++) {
        boolean stripe = Math.abs(x - 8 * (index % 40)) < 8;
        image.setRGB(x, y, stripe ? (colour >> 1) & 0x7F7F7F : colour);
      }
    }
    return image;
  }

  public static void main(String[] args) throws IOException {
    Path dir = Path.of(args[0]);
    Files.createDirectories(dir);
    long[] times = new long[PICTURES];
    for (int i = 1; i < PICTURES; i++) {
      times[i] = times[i - 1] + (i % 2 == 1 ? 30_000 : 50_000);
    }
    try (VideoWriter progressive = VideoWriter.toMp4(dir.resolve("progressive.mp4"), WIDTH,
            HEIGHT, 25);
        VideoWriter fragmented = VideoWriter.toMp4(
            Files.newOutputStream(dir.resolve("fragmented.mp4")), WIDTH, HEIGHT, 25)) {
      for (int i = 0; i < PICTURES; i++) {
        BufferedImage image = picture(i);
        progressive.write(image, times[i]);
        fragmented.write(image, times[i]);
      }
      progressive.finish();
      fragmented.finish();
    }
    long last = times[PICTURES - 1] - times[PICTURES - 2];
    List<String> seeks = new ArrayList<>();
    for (int index : new int[] {7, 24, 41, 50}) {
      long middle = index + 1 < PICTURES ? (times[index] + times[index + 1]) / 2 : times[index];
      int rgb = picture(index).getRGB(WIDTH / 2, HEIGHT / 2);
      seeks.add(String.format(Locale.ROOT, "{\"picture\": %d, \"time\": %.4f, \"x\": %d, \"y\": %d, "
              + "\"rgb\": [%d, %d, %d]}", index, middle / 1e6, WIDTH / 2, HEIGHT / 2,
          (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    }
    String json = String.format(Locale.ROOT, "{\"files\": [\"progressive.mp4\", \"fragmented.mp4\"], "
            + "\"width\": %d, \"height\": %d, \"duration\": %.4f, \"seeks\": [%s]}\n",
        WIDTH, HEIGHT, (times[PICTURES - 1] + last) / 1e6, String.join(", ", seeks));
    Files.writeString(dir.resolve("expected.json"), json);
  }
}
