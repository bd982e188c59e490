package tq.brindlecast.openh264;

import java.util.Objects;

/**
 * An array of RGB pixels that {@link H264Decoder#decodeIntoPixels(byte[], int, int,
 * RgbPixels)}
 * writes decoded pictures into, converted straight from the decoder's planes: {@code 0x00RRGGBB}
 * ints (the raster of a {@code TYPE_INT_RGB} image), rows {@code stride} ints apart, in the
 * colour matrix and range of the stream. A picture whose rows do not fit is returned as planes
 * instead. After a picture is written, {@link #width()} and {@link #height()} give its size.
 *
 * <p>Not safe for use by several threads at once; a decoder call writes the array while it runs.
 */
public final class RgbPixels {
  private final int[] pixels;
  private final int offset;
  private final int stride;
  private final int matrix;
  private final boolean fullRange;
  private int width;
  private int height;

  /**
   * Describes where pictures go and how their samples become colours.
   *
   * @param pixels the array
   * @param offset where in {@code pixels} the first pixel goes
   * @param stride the ints from one row of pixels to the next
   * @param matrix the colour matrix, as H.264's {@code matrix_coefficients}: 1 BT.709, 6 BT.601
   * @param fullRange whether luma spans 0 to 255 (full range) rather than 16 to 235
   * @throws NullPointerException if {@code pixels} is null
   * @throws IllegalArgumentException if {@code offset} is negative or past the array, {@code
   *     stride} below 1, or {@code matrix} neither 1 nor 6
   */
  public RgbPixels(int[] pixels, int offset, int stride, int matrix, boolean fullRange) {
    this.pixels = Objects.requireNonNull(pixels, "pixels must not be null");
    if (offset < 0 || offset > pixels.length) {
      throw new IllegalArgumentException(
          "offset must lie in the array of " + pixels.length + " pixels, was " + offset);
    }
    if (stride < 1) {
      throw new IllegalArgumentException("stride must be at least 1, was " + stride);
    }
    if (matrix != 1 && matrix != 6) {
      throw new IllegalArgumentException(
          "matrix must be 1 (BT.709) or 6 (BT.601), was " + matrix);
    }
    this.offset = offset;
    this.stride = stride;
    this.matrix = matrix;
    this.fullRange = fullRange;
  }

  /**
   * The array the pixels go to.
   *
   * @return the array, not a copy
   */
  public int[] pixels() {
    return pixels;
  }

  /**
   * The width of the picture last written.
   *
   * @return the width in pixels, 0 before the first picture
   */
  public int width() {
    return width;
  }

  /**
   * The height of the picture last written.
   *
   * @return the height in pixels, 0 before the first picture
   */
  public int height() {
    return height;
  }

  int offset() {
    return offset;
  }

  int stride() {
    return stride;
  }

  int matrix() {
    return matrix;
  }

  boolean fullRange() {
    return fullRange;
  }

  void written(int width, int height) {
    this.width = width;
    this.height = height;
  }
}
