package tq.brindlecast.openh264.tool;

import tq.brindlecast.openh264.I420Picture;

/**
 * Accumulates the squared error between decoded pictures and their sources, per plane, and
 * reports the peak signal-to-noise ratio over all pictures: {@code 10 log10(255^2 / MSE)} with the
 * mean squared error taken over every sample compared. The combined figure weighs each sample
 * alike, so Y counts four times as much as U or V.
 */
final class Psnr {
  private final long[] squaredError = new long[3];
  private final long[] samples = new long[3];
  private int pictures;

  /**
   * Adds one pair of pictures.
   *
   * @throws IllegalArgumentException if their sizes differ
   */
  void add(I420Picture source, I420Picture decoded) {
    if (source.width() != decoded.width() || source.height() != decoded.height()) {
      throw new IllegalArgumentException(
          "decoded picture " + (pictures + 1) + " is " + decoded.width() + "x" + decoded.height()
              + " but its source is " + source.width() + "x" + source.height());
    }
    for (int plane = 0; plane < 3; plane++) {
      int rowWidth = plane == I420Picture.Y ? source.width() : source.chromaWidth();
      int rows = plane == I420Picture.Y ? source.height() : source.chromaHeight();
      byte[] a = source.plane(plane);
      byte[] b = decoded.plane(plane);
      long sum = 0;
      for (int row = 0; row < rows; row++) {
        int ia = source.offset(plane) + row * source.stride(plane);
        int ib = decoded.offset(plane) + row * decoded.stride(plane);
        for (int x = 0; x < rowWidth; x++) {
          int d = (a[ia + x] & 0xFF) - (b[ib + x] & 0xFF);
          sum += d * d;
        }
      }
      squaredError[plane] += sum;
      samples[plane] += (long) rowWidth * rows;
    }
    pictures++;
  }

  /** The number of picture pairs added. */
  int pictures() {
    return pictures;
  }

  /** The PSNR of one plane in dB; infinite when identical, NaN before any picture. */
  double plane(int plane) {
    return decibels(squaredError[plane], samples[plane]);
  }

  /** The PSNR over all three planes in dB. */
  double combined() {
    return decibels(
        squaredError[0] + squaredError[1] + squaredError[2], samples[0] + samples[1] + samples[2]);
  }

  private static double decibels(long squaredError, long samples) {
    if (samples == 0) {
      return Double.NaN;
    }
    if (squaredError == 0) {
      return Double.POSITIVE_INFINITY;
    }
    double mse = (double) squaredError / samples;
    return 10 * Math.log10(255.0 * 255.0 / mse);
  }
}
