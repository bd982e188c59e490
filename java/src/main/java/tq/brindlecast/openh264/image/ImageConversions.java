package tq.brindlecast.openh264.image;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import java.lang.invoke.MethodHandles;
import java.lang.invoke.VarHandle;
import java.nio.ByteOrder;
import java.util.Objects;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.Native;

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

  private static final int HALF = 1 << 15;

  // An eighth rather than a half when rounding to RGB: ffmpeg's swscale, which players and
  // `ffmpeg -pix_fmt rgb24` use, truncates, and this lands within 2 levels of it while white (235)
  // still comes out as 255. The native kernel (kToRgbRounding) rounds the same way.
  private static final int TO_RGB_ROUNDING = 1 << 13;

  // The bias added to every pixel's weighted sum for luma: 16 plus the rounding half, in 16-bit
  // fixed point. Chroma adds nothing per pixel; the bias of a 2x2 block (128 << 18 plus the
  // rounding 2^17) keeps its sum positive, and shifted down by 18 the sum gives the rounded
  // mean, the same value as chroma(..., count 4).
  private static final int LUMA_BIAS = (16 << 16) + HALF;
  private static final int[][] PLANE_WEIGHTS = {
    {YR, YG, YB, LUMA_BIAS}, {UR, UG, UB, 0}, {VR, VG, VB, 0}
  };
  private static final int BLOCK_BIAS = (128 << 18) + (1 << 17);

  private static final VarHandle INT_AT_BYTE =
      MethodHandles.byteArrayViewVarHandle(int[].class, ByteOrder.LITTLE_ENDIAN);

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
    I420Picture picture = I420Picture.allocate(image.getWidth(), image.getHeight());
    toI420(image, picture);
    return picture;
  }

  /**
   * Converts the pixels of an image into an existing picture of the same size (BT.601, limited
   * range), so that a caller converting a series of images reuses one picture. Alpha is ignored.
   *
   * <p>Images of type {@link BufferedImage#TYPE_INT_RGB}, {@code TYPE_INT_ARGB}, {@code
   * TYPE_INT_BGR}, {@code TYPE_3BYTE_BGR} and {@code TYPE_4BYTE_ABGR} are read straight from their
   * raster; other types go through {@link BufferedImage#getRGB}, slower but with the same result.
   *
   * @param image the image
   * @param target the picture to fill; its planes are overwritten
   * @throws NullPointerException if {@code image} or {@code target} is null
   * @throws IllegalArgumentException if the sizes differ
   */
  public static void toI420(BufferedImage image, I420Picture target) {
    Objects.requireNonNull(image, "image must not be null");
    Objects.requireNonNull(target, "target must not be null");
    int width = image.getWidth();
    int height = image.getHeight();
    if (target.width() != width || target.height() != height) {
      throw new IllegalArgumentException(
          "target picture is " + target.width() + "x" + target.height() + " but the image is "
              + width + "x" + height);
    }
    if (convertNatively(image, target)) {
      return;
    }
    RowSource rows = RowSource.of(image);
    int[] sums0 = new int[width];
    int[] sums1 = new int[width];
    byte[] yPlane = target.plane(I420Picture.Y);
    byte[] uPlane = target.plane(I420Picture.U);
    byte[] vPlane = target.plane(I420Picture.V);
    int yStride = target.stride(I420Picture.Y);
    for (int y = 0; y < height; y += 2) {
      int rowCount = Math.min(2, height - y);
      rows.load(y, rowCount);
      int yRow = target.offset(I420Picture.Y) + y * yStride;
      int uRow = target.offset(I420Picture.U) + (y / 2) * target.stride(I420Picture.U);
      int vRow = target.offset(I420Picture.V) + (y / 2) * target.stride(I420Picture.V);
      if (rowCount == 2) {
        convertRowPair(rows.row0, rows.row1, sums0, sums1, width, yPlane, yRow, yStride, uPlane,
            uRow, vPlane, vRow);
      } else {
        convertLastRow(rows.row0, width, yPlane, yRow, uPlane, uRow, vPlane, vRow);
      }
    }
  }

  /**
   * Converts in native code, with the same values, when the picture is packed and the image's
   * raster is one of the standard RGB layouts held plainly (not a sub-image); false, with nothing
   * written, otherwise or when the native library cannot be loaded.
   */
  private static boolean convertNatively(BufferedImage image, I420Picture target) {
    int width = target.width();
    byte[] packed = target.plane(I420Picture.Y);
    int start = target.offset(I420Picture.Y);
    int chromaSize = target.chromaWidth() * target.chromaHeight();
    if (target.plane(I420Picture.U) != packed || target.plane(I420Picture.V) != packed
        || target.stride(I420Picture.Y) != width
        || target.stride(I420Picture.U) != target.chromaWidth()
        || target.stride(I420Picture.V) != target.chromaWidth()
        || target.offset(I420Picture.U) != start + width * target.height()
        || target.offset(I420Picture.V) != target.offset(I420Picture.U) + chromaSize) {
      return false;
    }
    ImageRaster raster = ImageRaster.of(image);
    if (raster == null) {
      return false;
    }
    try {
      return Native.OpenH264TQConvertToI420(raster.pixels(), raster.offset(),
          raster.scanlineStride(), raster.imageType(), width, target.height(), packed, start)
          == 0;
    } catch (LinkageError noNativeLibrary) {
      return false;
    }
  }

  /**
   * Converts two rows. A method of its own, which the JIT compiles apart from the image-type
   * switch that loads the rows: inlined into the whole conversion, the loops were recompiled
   * whenever a new image type came along, and in some runs of a JVM that converted both
   * TYPE_INT_RGB and TYPE_3BYTE_BGR images they ended up three times slower.
   */
  private static void convertRowPair(int[] row0, int[] row1, int[] sums0, int[] sums1, int width,
      byte[] yPlane, int yRow, int yStride, byte[] uPlane, int uRow, byte[] vPlane, int vRow) {
    int[] starts = {yRow, uRow, vRow};
    byte[][] planes = {yPlane, uPlane, vPlane};
    for (int plane = 0; plane < 3; plane++) {
      // One call site for the weighing, so that the JIT compiles its loop once, vectorised.
      int[] k = PLANE_WEIGHTS[plane];
      weigh(row0, sums0, width, k[0], k[1], k[2], k[3]);
      weigh(row1, sums1, width, k[0], k[1], k[2], k[3]);
      if (plane == 0) {
        storeLuma(sums0, yPlane, yRow, width);
        storeLuma(sums1, yPlane, yRow + yStride, width);
      } else {
        addRows(sums0, sums1, width);
        storeBlocks(sums0, planes[plane], starts[plane], width / 2);
      }
    }
    if (width % 2 != 0) {
      storeChroma(row0[width - 1], row1[width - 1], 2, uPlane, uRow + width / 2, vPlane,
          vRow + width / 2);
    }
  }

  /**
   * Two rows of 0xRRGGBB pixels (the top byte ignored), copied or unpacked from the image into
   * arrays of their own: loops that read them and write scratch arrays at the same index are the
   * ones the JIT vectorises.
   */
  private static final class RowSource {
    private final BufferedImage image;
    private final int type;
    private final int width;
    private final int[] intData;
    private final byte[] byteData;
    private final int dataOffset;
    private final int scanline;
    final int[] row0;
    final int[] row1;

    private RowSource(BufferedImage image, int type, int[] intData, byte[] byteData,
        int dataOffset, int scanline) {
      this.image = image;
      this.type = type;
      this.width = image.getWidth();
      this.intData = intData;
      this.byteData = byteData;
      this.dataOffset = dataOffset;
      this.scanline = scanline;
      this.row0 = new int[width];
      this.row1 = new int[width];
    }

    static RowSource of(BufferedImage image) {
      // A sub-image's raster shares its parent's buffer at a translation: read it the slow way;
      // so are the premultiplied types, whose colours getRGB divides by alpha.
      ImageRaster raster = ImageRaster.of(image);
      int type = raster == null ? BufferedImage.TYPE_CUSTOM : raster.imageType();
      if (type == BufferedImage.TYPE_INT_RGB || type == BufferedImage.TYPE_INT_ARGB
          || type == BufferedImage.TYPE_INT_BGR) {
        return new RowSource(image, type, (int[]) raster.pixels(), null, raster.offset(),
            raster.scanlineStride());
      }
      if (type == BufferedImage.TYPE_3BYTE_BGR || type == BufferedImage.TYPE_4BYTE_ABGR) {
        return new RowSource(image, type, null, (byte[]) raster.pixels(), raster.offset(),
            raster.scanlineStride());
      }
      return new RowSource(image, BufferedImage.TYPE_CUSTOM, null, null, 0, 0);
    }

    /** Fills {@link #row0} with row y and, when count is 2, {@link #row1} with row y + 1. */
    void load(int y, int count) {
      load(y, row0);
      if (count == 2) {
        load(y + 1, row1);
      }
    }

    private void load(int y, int[] row) {
      int from = dataOffset + y * scanline;
      switch (type) {
        case BufferedImage.TYPE_INT_RGB, BufferedImage.TYPE_INT_ARGB ->
            System.arraycopy(intData, from, row, 0, width);
        case BufferedImage.TYPE_INT_BGR -> {
          for (int x = 0; x < width; x++) {
            int bgr = intData[from + x];
            row[x] = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
          }
        }
        case BufferedImage.TYPE_3BYTE_BGR -> unpackBgr(byteData, from, row, width);
        case BufferedImage.TYPE_4BYTE_ABGR -> {
          // Bytes A, B, G, R: one little-endian int, 0xRRGGBBAA.
          for (int x = 0; x < width; x++, from += 4) {
            row[x] = (int) INT_AT_BYTE.get(byteData, from) >>> 8;
          }
        }
        default -> image.getRGB(0, y, width, 1, row, 0, width);
      }
    }

    /**
     * Bytes B, G, R: each pixel read as one little-endian int, one load instead of three, whose
     * top byte (the next pixel's blue) the mask drops. The last pixel of a row is read byte by
     * byte, so that the last row never reads past the end of the buffer.
     */
    private static void unpackBgr(byte[] data, int from, int[] row, int width) {
      int x = 0;
      for (; x < width - 1; x++, from += 3) {
        row[x] = (int) INT_AT_BYTE.get(data, from) & 0xFFFFFF;
      }
      if (width > 0) {
        row[x] =
            ((data[from + 2] & 0xFF) << 16) | ((data[from + 1] & 0xFF) << 8) | (data[from] & 0xFF);
      }
    }
  }

  /**
   * The weighted sum of each pixel's red, green and blue plus a bias. Unsigned shifts and one
   * index for both arrays keep the loop in the shape the JIT turns into vector code.
   */
  private static void weigh(int[] pixels, int[] sums, int width, int kr, int kg, int kb,
      int bias) {
    for (int x = 0; x < width; x++) {
      int p = pixels[x];
      sums[x] = ((p >>> 16) & 0xFF) * kr + ((p >>> 8) & 0xFF) * kg + (p & 0xFF) * kb + bias;
    }
  }

  private static void storeLuma(int[] sums, byte[] yPlane, int to, int width) {
    for (int x = 0; x < width; x++) {
      yPlane[to + x] = (byte) (sums[x] >>> 16);
    }
  }

  /** Adds the second row's weighted sums into the first's: one vector loop. */
  private static void addRows(int[] sums0, int[] sums1, int width) {
    for (int x = 0; x < width; x++) {
      sums0[x] += sums1[x];
    }
  }

  /**
   * The chroma of each 2x2 block from the weighted sums of its two columns (each already the sum
   * of two rows): two loads a block rather than four.
   */
  private static void storeBlocks(int[] columnSums, byte[] plane, int to, int blocks) {
    for (int cx = 0; cx < blocks; cx++) {
      plane[to + cx] = (byte) ((columnSums[2 * cx] + columnSums[2 * cx + 1] + BLOCK_BIAS) >> 18);
    }
  }

  private static void convertLastRow(int[] row, int width, byte[] yPlane, int yRow,
      byte[] uPlane, int uRow, byte[] vPlane, int vRow) {
    for (int x = 0; x < width; x++) {
      yPlane[yRow + x] = (byte) luma(row[x]);
    }
    for (int x = 0; x < width; x += 2) {
      int a = row[x];
      if (x + 1 < width) {
        storeChroma(a, row[x + 1], 2, uPlane, uRow + x / 2, vPlane, vRow + x / 2);
      } else {
        storeChroma(a, 0, 1, uPlane, uRow + x / 2, vPlane, vRow + x / 2);
      }
    }
  }

  /** The chroma of a block of one or two pixels at the right or bottom edge. */
  private static void storeChroma(
      int a, int b, int count, byte[] uPlane, int u, byte[] vPlane, int v) {
    int red = ((a >> 16) & 0xFF) + (count > 1 ? (b >> 16) & 0xFF : 0);
    int green = ((a >> 8) & 0xFF) + (count > 1 ? (b >> 8) & 0xFF : 0);
    int blue = (a & 0xFF) + (count > 1 ? b & 0xFF : 0);
    uPlane[u] = (byte) chroma(UR, UG, UB, red, green, blue, count);
    vPlane[v] = (byte) chroma(VR, VG, VB, red, green, blue, count);
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
    return toImage(picture, YuvColour.BT601_LIMITED);
  }

  /**
   * Converts an I420 picture into a new {@link BufferedImage#TYPE_INT_RGB} image with the given
   * matrix and range (values outside the range are clipped). Each chroma sample covers its 2x2
   * block of pixels.
   *
   * @param picture the picture
   * @param colour the matrix and range of the picture's samples, e.g. {@link
   *     YuvColour#of(int, boolean)} of its stream's codes
   * @return a new image of the picture's size
   * @throws NullPointerException if {@code picture} or {@code colour} is null
   */
  public static BufferedImage toImage(I420Picture picture, YuvColour colour) {
    Objects.requireNonNull(picture, "picture must not be null");
    Objects.requireNonNull(colour, "colour must not be null");
    BufferedImage image =
        new BufferedImage(picture.width(), picture.height(), BufferedImage.TYPE_INT_RGB);
    int[] pixels = ((DataBufferInt) image.getRaster().getDataBuffer()).getData();
    if (!toRgbNatively(picture, colour, pixels)) {
      toRgbInJava(picture, colour, pixels);
    }
    return image;
  }

  /**
   * Converts in native code, with the same values, when the three planes are in one array and
   * the chroma planes share a stride (as in every decoded picture); false, with nothing written,
   * otherwise or when the native library cannot be loaded.
   */
  static boolean toRgbNatively(I420Picture picture, YuvColour colour, int[] pixels) {
    byte[] planes = picture.plane(I420Picture.Y);
    int chromaStride = picture.stride(I420Picture.U);
    if (picture.plane(I420Picture.U) != planes || picture.plane(I420Picture.V) != planes
        || picture.stride(I420Picture.V) != chromaStride) {
      return false;
    }
    try {
      return Native.OpenH264TQConvertI420ToRgb(planes, picture.offset(I420Picture.Y),
          picture.stride(I420Picture.Y), picture.offset(I420Picture.U),
          picture.offset(I420Picture.V), chromaStride, picture.width(), picture.height(),
          colour.matrix().code(), colour.fullRange() ? 1 : 0, pixels, 0, picture.width()) == 0;
    } catch (LinkageError noNativeLibrary) {
      return false;
    }
  }

  /** The conversion in Java, for any layout of planes; the native kernel's arithmetic. */
  static void toRgbInJava(I420Picture picture, YuvColour colour, int[] pixels) {
    ToRgb k = ToRgb.of(colour);
    int width = picture.width();
    int height = picture.height();
    byte[] yPlane = picture.plane(I420Picture.Y);
    byte[] uPlane = picture.plane(I420Picture.U);
    byte[] vPlane = picture.plane(I420Picture.V);
    for (int y = 0; y < height; y++) {
      int yRow = picture.offset(I420Picture.Y) + y * picture.stride(I420Picture.Y);
      int uRow = picture.offset(I420Picture.U) + (y / 2) * picture.stride(I420Picture.U);
      int vRow = picture.offset(I420Picture.V) + (y / 2) * picture.stride(I420Picture.V);
      for (int x = 0; x < width; x++) {
        int luma = k.ky * ((yPlane[yRow + x] & 0xFF) - k.black) + TO_RGB_ROUNDING;
        int u = (uPlane[uRow + x / 2] & 0xFF) - 128;
        int v = (vPlane[vRow + x / 2] & 0xFF) - 128;
        int red = clip((luma + k.rv * v) >> 16);
        int green = clip((luma + k.gu * u + k.gv * v) >> 16);
        int blue = clip((luma + k.bu * u) >> 16);
        pixels[y * width + x] = (red << 16) | (green << 8) | blue;
      }
    }
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
    return toImage(picture, YuvColour.BT601_LIMITED);
  }

  /**
   * Converts a decoded picture into a new {@link BufferedImage#TYPE_INT_RGB} image with the given
   * matrix and range, cropped to its width and height.
   *
   * @param picture the picture
   * @param colour the matrix and range of the picture's samples
   * @return a new image of the picture's size
   * @throws NullPointerException if {@code picture} or {@code colour} is null
   */
  public static BufferedImage toImage(DecodedPicture picture, YuvColour colour) {
    Objects.requireNonNull(picture, "picture must not be null");
    return toImage(picture.asI420Picture(), colour);
  }

  /**
   * YUV to RGB in 16-bit fixed point: R = ky (Y - black) + rv (V - 128), G = ky (Y - black) + gu
   * (U - 128) + gv (V - 128), B = ky (Y - black) + bu (U - 128). For BT.601 in limited range
   * these are 1.164383, 1.596027, -0.391762, -0.812968 and 2.017232.
   */
  private record ToRgb(int black, int ky, int rv, int gu, int gv, int bu) {
    static ToRgb of(YuvColour colour) {
      double kr = colour.matrix().kr();
      double kb = colour.matrix().kb();
      double kg = 1 - kr - kb;
      double lumaScale = colour.fullRange() ? 1 : 255.0 / 219;
      double chromaScale = colour.fullRange() ? 1 : 255.0 / 224;
      return new ToRgb(colour.fullRange() ? 0 : 16, fixed(lumaScale),
          fixed(2 * (1 - kr) * chromaScale), fixed(-2 * (1 - kb) * kb / kg * chromaScale),
          fixed(-2 * (1 - kr) * kr / kg * chromaScale), fixed(2 * (1 - kb) * chromaScale));
    }

    private static int fixed(double value) {
      return (int) Math.round(value * (1 << 16));
    }
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
