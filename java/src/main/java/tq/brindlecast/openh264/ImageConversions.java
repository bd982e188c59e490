package tq.brindlecast.openh264;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import java.util.Objects;

/**
 * Converts between {@link BufferedImage} RGB pixels and I420 pictures, for screen capture and
 * previews.
 *
 * <p>Both directions use ITU-R BT.601 coefficients in limited range: luma from 16 (black) to 235
 * (white), chroma from 16 to 240 around 128. This is the convention of H.264 camera streams and of
 * streams whose colour description is unspecified, which OpenH264 writes by default. The chroma of
 * an I420 picture is the average of each 2x2 block of pixels; on the way back each chroma sample
 * covers its 2x2 block.
 */
public final class ImageConversions {
  // BT.601 limited range in 16-bit fixed point: Y = 16 + 0.256788 R + 0.504129 G + 0.097906 B,
  // U = 128 - 0.148223 R - 0.290993 G + 0.439216 B, V = 128 + 0.439216 R - 0.367788 G - 0.071427 B.
  private static final int YR = 16829;
  private static final int YG = 33039;
  private static final int YB = 6416;
  private static final int UR = -9714;
  private static final int UG = -19070;
  private static final int UB = 28784;
  private static final int VR = 28784;
  private static final int VG = -24103;
  private static final int VB = -4681;

  // The inverse: R = 1.164383 (Y - 16) + 1.596027 (V - 128), G = 1.164383 (Y - 16)
  // - 0.391762 (U - 128) - 0.812968 (V - 128), B = 1.164383 (Y - 16) + 2.017232 (U - 128).
  private static final int KY = 76309;
  private static final int RV = 104597;
  private static final int GU = -25675;
  private static final int GV = -53279;
  private static final int BU = 132201;

  private static final int HALF = 1 << 15;

  private ImageConversions() {}

  /**
   * Converts the pixels of an image into a new I420 picture of the same size (BT.601, limited
   * range). Any image type works; alpha is ignored.
   *
   * @param image the image
   * @return a picture backed by a new packed array
   * @throws NullPointerException if {@code image} is null
   */
  public static I420Picture toI420(BufferedImage image) {
    Objects.requireNonNull(image, "image must not be null");
    int width = image.getWidth();
    int height = image.getHeight();
    I420Picture picture = I420Picture.allocate(width, height);
    byte[] data = picture.plane(I420Picture.Y);
    int chromaWidth = picture.chromaWidth();
    int uStart = picture.offset(I420Picture.U);
    int vStart = picture.offset(I420Picture.V);
    int[] rows = new int[2 * width];
    for (int y = 0; y < height; y += 2) {
      int rowCount = Math.min(2, height - y);
      image.getRGB(0, y, width, rowCount, rows, 0, width);
      for (int r = 0; r < rowCount; r++) {
        int lumaRow = (y + r) * width;
        for (int x = 0; x < width; x++) {
          data[lumaRow + x] = (byte) luma(rows[r * width + x]);
        }
      }
      int chromaRow = (y / 2) * chromaWidth;
      for (int cx = 0; cx < chromaWidth; cx++) {
        int red = 0;
        int green = 0;
        int blue = 0;
        int count = 0;
        for (int r = 0; r < rowCount; r++) {
          for (int x = 2 * cx; x < Math.min(2 * cx + 2, width); x++) {
            int rgb = rows[r * width + x];
            red += (rgb >> 16) & 0xFF;
            green += (rgb >> 8) & 0xFF;
            blue += rgb & 0xFF;
            count++;
          }
        }
        data[uStart + chromaRow + cx] = (byte) chroma(UR, UG, UB, red, green, blue, count);
        data[vStart + chromaRow + cx] = (byte) chroma(VR, VG, VB, red, green, blue, count);
      }
    }
    return picture;
  }

  /**
   * Converts an I420 picture into a new {@link BufferedImage#TYPE_INT_RGB} image (BT.601,
   * limited range; values outside the range are clipped).
   *
   * @param picture the picture
   * @return a new image of the picture's size
   * @throws NullPointerException if {@code picture} is null
   */
  public static BufferedImage toImage(I420Picture picture) {
    Objects.requireNonNull(picture, "picture must not be null");
    int width = picture.width();
    int height = picture.height();
    BufferedImage image = new BufferedImage(width, height, BufferedImage.TYPE_INT_RGB);
    int[] pixels = ((DataBufferInt) image.getRaster().getDataBuffer()).getData();
    byte[] yPlane = picture.plane(I420Picture.Y);
    byte[] uPlane = picture.plane(I420Picture.U);
    byte[] vPlane = picture.plane(I420Picture.V);
    for (int y = 0; y < height; y++) {
      int yRow = picture.offset(I420Picture.Y) + y * picture.stride(I420Picture.Y);
      int uRow = picture.offset(I420Picture.U) + (y / 2) * picture.stride(I420Picture.U);
      int vRow = picture.offset(I420Picture.V) + (y / 2) * picture.stride(I420Picture.V);
      for (int x = 0; x < width; x++) {
        int luma = KY * ((yPlane[yRow + x] & 0xFF) - 16);
        int u = (uPlane[uRow + x / 2] & 0xFF) - 128;
        int v = (vPlane[vRow + x / 2] & 0xFF) - 128;
        int red = clip((luma + RV * v + HALF) >> 16);
        int green = clip((luma + GU * u + GV * v + HALF) >> 16);
        int blue = clip((luma + BU * u + HALF) >> 16);
        pixels[y * width + x] = (red << 16) | (green << 8) | blue;
      }
    }
    return image;
  }

  /**
   * Converts a decoded picture into a new {@link BufferedImage#TYPE_INT_RGB} image (BT.601,
   * limited range), cropped to its width and height.
   *
   * @param picture the picture
   * @return a new image of the picture's size
   * @throws NullPointerException if {@code picture} is null
   */
  public static BufferedImage toImage(DecodedPicture picture) {
    Objects.requireNonNull(picture, "picture must not be null");
    return toImage(picture.asI420Picture());
  }

  private static int luma(int rgb) {
    int red = (rgb >> 16) & 0xFF;
    int green = (rgb >> 8) & 0xFF;
    int blue = rgb & 0xFF;
    return 16 + ((YR * red + YG * green + YB * blue + HALF) >> 16);
  }

  private static int chroma(int kr, int kg, int kb, int red, int green, int blue, int count) {
    // Rounded division of the block sum: the coefficients of each row add up to 0.
    long sum = (long) kr * red + (long) kg * green + (long) kb * blue;
    long scaled = (long) count << 16;
    return 128 + (int) Math.floorDiv(2 * sum + scaled, 2 * scaled);
  }

  private static int clip(int value) {
    return value < 0 ? 0 : value > 255 ? 255 : value;
  }
}
