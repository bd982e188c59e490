package tq.brindlecast.openh264.tool;

import tq.brindlecast.openh264.I420Picture;

/**
 * A moving test picture that needs nothing to download: a drifting background with fine ripples, static
 * colour bars, a bouncing box, a circle on a looping path, a scrolling checkerboard, a zone plate
 * whose rings drift, and a growing progress bar. Everything is computed from the picture index, so picture {@code n} is always the
 * same.
 */
final class TestPattern implements PictureSource {
  // 75% colour bars (white, yellow, cyan, green, magenta, red, blue, black) in BT.601 limited range.
  private static final int[][] BARS = {
    {180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
    {84, 184, 198}, {65, 100, 212}, {35, 212, 114}, {16, 128, 128},
  };

  private final PictureFormat format;
  private int index;

  TestPattern(int width, int height, int frames, double fps) {
    this.format = new PictureFormat(width, height, fps, frames);
  }

  @Override
  public PictureFormat format() {
    return format;
  }

  @Override
  public String description() {
    return "built-in test pattern";
  }

  @Override
  public I420Picture next() {
    return index < format.count() ? render(format.width(), format.height(), index++) : null;
  }

  /** Draws picture {@code t} of the pattern. */
  static I420Picture render(int width, int height, int t) {
    I420Picture picture = I420Picture.allocate(width, height);
    byte[] data = picture.plane(I420Picture.Y);
    int cw = picture.chromaWidth();
    int ch = picture.chromaHeight();
    int uStart = picture.offset(I420Picture.U);
    int vStart = picture.offset(I420Picture.V);
    background(data, width, height, cw, ch, uStart, vStart, t);
    bars(data, width, height, cw, uStart, vStart);
    checkerboard(data, width, height, t);
    zonePlate(data, width, height, t);
    int boxW = Math.max(4, width / 6);
    int boxH = Math.max(4, height / 4);
    int boxX = bounce(6 * t, width - boxW);
    int boxY = height / 3;
    fill(picture, boxX, boxY, boxW, boxH, 60, 110, 190);
    fill(picture, boxX + boxW / 4, boxY + boxH / 4, boxW / 2, boxH / 2, 200, 40, 150);
    circle(picture, t);
    int barWidth = (int) ((long) width * ((t % 300) + 1) / 300);
    fill(picture, 0, height - Math.max(2, height / 40), barWidth, Math.max(2, height / 40), 170,
        170, 60);
    return picture;
  }

  private static void background(byte[] data, int width, int height, int cw, int ch, int uStart,
      int vStart, int t) {
    double[] across = new double[width];
    for (int x = 0; x < width; x++) {
      across[x] = Math.sin(2 * Math.PI * (x + 2.0 * t) / Math.max(48, width / 3.0));
    }
    double[] down = new double[height];
    for (int y = 0; y < height; y++) {
      down[y] = Math.cos(2 * Math.PI * (y - 1.0 * t) / Math.max(32, height / 2.0));
    }
    // Fine ripples travelling in three directions at once, which no single motion vector follows.
    double[] rippleX = new double[width];
    for (int x = 0; x < width; x++) {
      rippleX[x] = 4 * Math.sin(0.55 * x + 0.9 * t);
    }
    double[] rippleY = new double[height];
    for (int y = 0; y < height; y++) {
      rippleY[y] = 4 * Math.sin(0.45 * y - 0.7 * t);
    }
    double[] rippleDiagonal = new double[width + height];
    for (int d = 0; d < width + height; d++) {
      rippleDiagonal[d] = 3 * Math.sin(0.35 * d + 0.5 * t);
    }
    for (int y = 0; y < height; y++) {
      int row = y * width;
      for (int x = 0; x < width; x++) {
        double ripple = rippleX[x] + rippleY[y] + rippleDiagonal[x + y];
        data[row + x] =
            (byte) (110 + (int) Math.round(50 * across[x] * down[y] + ripple) + x * 30 / width);
      }
    }
    for (int y = 0; y < ch; y++) {
      for (int x = 0; x < cw; x++) {
        data[uStart + y * cw + x] = (byte) (128 + (60 * x) / cw - 30 + (int) (10 * down[2 * y]));
        data[vStart + y * cw + x] = (byte) (128 + (50 * y) / ch - 25 + (t % 60) / 6);
      }
    }
  }

  private static void bars(byte[] data, int width, int height, int cw, int uStart, int vStart) {
    int barsHeight = height / 8;
    for (int y = 0; y < barsHeight; y++) {
      for (int x = 0; x < width; x++) {
        int[] bar = BARS[x * BARS.length / width];
        data[y * width + x] = (byte) bar[0];
        if (y % 2 == 0 && x % 2 == 0) {
          int c = (y / 2) * cw + x / 2;
          data[uStart + c] = (byte) bar[1];
          data[vStart + c] = (byte) bar[2];
        }
      }
    }
  }

  private static void checkerboard(byte[] data, int width, int height, int t) {
    int size = Math.max(2, height / 90);
    int left = width / 20;
    int top = height * 5 / 8;
    int right = Math.min(width, left + width / 4);
    int bottom = Math.min(height, top + height / 4);
    for (int y = top; y < bottom; y++) {
      for (int x = left; x < right; x++) {
        boolean dark = (((x + t) / size) + (y / size)) % 2 == 0;
        data[y * width + x] = (byte) (dark ? 40 : 210);
      }
    }
  }

  /** Rings whose spacing shrinks outwards, drifting inwards over time: hard to predict. */
  private static void zonePlate(byte[] data, int width, int height, int t) {
    int left = width * 5 / 8;
    int top = height * 5 / 8;
    int w = width - left - width / 40;
    int h = height - top - height / 20;
    double scale = Math.PI / Math.max(1, Math.min(w, h)) / 3;
    for (int y = 0; y < h; y++) {
      for (int x = 0; x < w; x++) {
        double dx = x - w / 2.0;
        double dy = y - h / 2.0;
        double phase = scale * (dx * dx + dy * dy) / 4 - 0.35 * t;
        data[(top + y) * width + left + x] = (byte) (128 + (int) (90 * Math.cos(phase)));
      }
    }
  }

  private static void circle(I420Picture picture, int t) {
    int width = picture.width();
    int height = picture.height();
    int radius = Math.max(3, height / 10);
    double angle = 2 * Math.PI * t / 150.0;
    int cx = (int) (width * (0.65 + 0.2 * Math.cos(angle)));
    int cy = (int) (height * (0.55 + 0.25 * Math.sin(2 * angle)));
    byte[] data = picture.plane(I420Picture.Y);
    int cw = picture.chromaWidth();
    for (int y = Math.max(0, cy - radius); y < Math.min(height, cy + radius); y++) {
      for (int x = Math.max(0, cx - radius); x < Math.min(width, cx + radius); x++) {
        int dx = x - cx;
        int dy = y - cy;
        if (dx * dx + dy * dy <= radius * radius) {
          data[y * width + x] = (byte) (70 + 100 * (dx + radius) / (2 * radius));
          int c = (y / 2) * cw + x / 2;
          data[picture.offset(I420Picture.U) + c] = (byte) 180;
          data[picture.offset(I420Picture.V) + c] = (byte) 90;
        }
      }
    }
  }

  private static void fill(I420Picture picture, int left, int top, int w, int h, int luma, int u,
      int v) {
    int width = picture.width();
    int height = picture.height();
    byte[] data = picture.plane(I420Picture.Y);
    int cw = picture.chromaWidth();
    for (int y = Math.max(0, top); y < Math.min(height, top + h); y++) {
      for (int x = Math.max(0, left); x < Math.min(width, left + w); x++) {
        data[y * width + x] = (byte) luma;
        int c = (y / 2) * cw + x / 2;
        data[picture.offset(I420Picture.U) + c] = (byte) u;
        data[picture.offset(I420Picture.V) + c] = (byte) v;
      }
    }
  }

  /** Moves back and forth between 0 and {@code range}. */
  private static int bounce(int position, int range) {
    if (range <= 0) {
      return 0;
    }
    int cycle = position % (2 * range);
    return cycle <= range ? cycle : 2 * range - cycle;
  }
}
