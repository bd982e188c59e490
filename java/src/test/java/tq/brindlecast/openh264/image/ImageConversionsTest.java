package tq.brindlecast.openh264.image;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Map;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.image.YuvColour.Matrix;

/** The BT.601 limited-range conversions, compared with ffmpeg's conversion of the same pixels. */
class ImageConversionsTest {
  private static final int WIDTH = 96;
  private static final int HEIGHT = 64;

  /** Smooth colour ramps across the whole image, and flat saturated patches. */
  private static BufferedImage testImage() {
    BufferedImage image = new BufferedImage(WIDTH, HEIGHT, BufferedImage.TYPE_INT_RGB);
    for (int y = 0; y < HEIGHT; y++) {
      for (int x = 0; x < WIDTH; x++) {
        int red = x * 255 / (WIDTH - 1);
        int green = y * 255 / (HEIGHT - 1);
        int blue = (x + y) * 255 / (WIDTH + HEIGHT - 2);
        image.setRGB(x, y, (red << 16) | (green << 8) | blue);
      }
    }
    int[] colours = {0xFFFFFF, 0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x808080};
    for (int i = 0; i < colours.length; i++) {
      for (int y = 40; y < 56; y++) {
        for (int x = 4 + 12 * i; x < 12 + 12 * i; x++) {
          image.setRGB(x, y, colours[i]);
        }
      }
    }
    return image;
  }

  private static int maxDifference(byte[] a, int aOffset, byte[] b, int bOffset, int length) {
    int worst = 0;
    for (int i = 0; i < length; i++) {
      worst = Math.max(worst, Math.abs((a[aOffset + i] & 0xFF) - (b[bOffset + i] & 0xFF)));
    }
    return worst;
  }

  @Test
  void imageToI420MatchesFfmpegWithinTwoLevels() throws Exception {
    Path dir = FfmpegTool.workDir("image-conversions");
    BufferedImage image = testImage();
    ByteArrayOutputStream ppm = new ByteArrayOutputStream();
    ppm.write(("P6\n" + WIDTH + " " + HEIGHT + "\n255\n").getBytes(StandardCharsets.US_ASCII));
    for (int y = 0; y < HEIGHT; y++) {
      for (int x = 0; x < WIDTH; x++) {
        int rgb = image.getRGB(x, y);
        ppm.write(rgb >> 16);
        ppm.write(rgb >> 8);
        ppm.write(rgb);
      }
    }
    Path source = dir.resolve("source.ppm");
    Files.write(source, ppm.toByteArray());
    Path converted = dir.resolve("ffmpeg.yuv");
    FfmpegTool.run("-loglevel", "error", "-i", source.toString(),
        // Chroma as the average of each 2x2 block, as in ImageConversions; exact arithmetic.
        "-sws_flags", "area+accurate_rnd", "-pix_fmt", "yuv420p", "-f", "rawvideo",
        converted.toString());
    byte[] expected = Files.readAllBytes(converted);

    byte[] ours = ImageConversions.toI420(image).toPacked();
    assertEquals(expected.length, ours.length);
    int lumaSize = WIDTH * HEIGHT;
    assertTrue(maxDifference(expected, 0, ours, 0, lumaSize) <= 2, "luma differs by more than 2");
    int chroma = maxDifference(expected, lumaSize, ours, lumaSize, ours.length - lumaSize);
    assertTrue(chroma <= 2, "chroma differs by " + chroma);
  }

  @Test
  void i420ToImageMatchesFfmpegWithinTwoLevels() throws Exception {
    Path dir = FfmpegTool.workDir("image-conversions");
    // Luma over the whole legal range and beyond it, chroma varying smoothly.
    I420Picture picture = I420Picture.allocate(WIDTH, HEIGHT);
    byte[] data = picture.plane(I420Picture.Y);
    for (int y = 0; y < HEIGHT; y++) {
      for (int x = 0; x < WIDTH; x++) {
        data[y * WIDTH + x] = (byte) (x * 255 / (WIDTH - 1));
      }
    }
    int cw = picture.chromaWidth();
    int ch = picture.chromaHeight();
    for (int y = 0; y < ch; y++) {
      for (int x = 0; x < cw; x++) {
        data[picture.offset(I420Picture.U) + y * cw + x] = (byte) (16 + y * 224 / (ch - 1));
        data[picture.offset(I420Picture.V) + y * cw + x] = (byte) (240 - x * 224 / (cw - 1));
      }
    }
    Path source = dir.resolve("source.yuv");
    Files.write(source, picture.toPacked());
    // Each matrix and range, and ffmpeg's scale options for it.
    Map<YuvColour, String> colours = Map.of(
        YuvColour.BT601_LIMITED, "in_color_matrix=bt601:in_range=limited",
        new YuvColour(Matrix.BT601, true), "in_color_matrix=bt601:in_range=full",
        new YuvColour(Matrix.BT709, false), "in_color_matrix=bt709:in_range=limited",
        new YuvColour(Matrix.BT709, true), "in_color_matrix=bt709:in_range=full");
    for (Map.Entry<YuvColour, String> colour : colours.entrySet()) {
      Path converted = dir.resolve("ffmpeg.rgb");
      FfmpegTool.run("-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "yuv420p",
          "-s", WIDTH + "x" + HEIGHT, "-i", source.toString(),
          // Each chroma sample covers its 2x2 block, as in ImageConversions; exact arithmetic.
          "-vf", "scale=" + colour.getValue() + ":flags=neighbor+accurate_rnd+full_chroma_int",
          "-pix_fmt", "rgb24", "-f", "rawvideo", converted.toString());
      byte[] expected = Files.readAllBytes(converted);

      BufferedImage image = colour.getKey().equals(YuvColour.BT601_LIMITED)
          ? ImageConversions.toImage(picture)
          : ImageConversions.toImage(picture, colour.getKey());
      assertEquals(BufferedImage.TYPE_INT_RGB, image.getType());
      // Beyond the legal luma range ffmpeg's BT.709 arithmetic wraps around: legal luma only.
      boolean legalOnly = !colour.getKey().equals(YuvColour.BT601_LIMITED);
      int worst = 0;
      for (int y = 0; y < HEIGHT; y++) {
        for (int x = 0; x < WIDTH; x++) {
          int luma = data[y * WIDTH + x] & 0xFF;
          if (legalOnly && (luma < 16 || luma > 235)) {
            continue;
          }
          int rgb = image.getRGB(x, y);
          int at = 3 * (y * WIDTH + x);
          worst = Math.max(worst, Math.abs(((rgb >> 16) & 0xFF) - (expected[at] & 0xFF)));
          worst = Math.max(worst, Math.abs(((rgb >> 8) & 0xFF) - (expected[at + 1] & 0xFF)));
          worst = Math.max(worst, Math.abs((rgb & 0xFF) - (expected[at + 2] & 0xFF)));
        }
      }
      assertTrue(worst <= 2, colour.getKey() + ": RGB differs from ffmpeg's by " + worst);
    }
  }

  @Test
  void i420ToImageNativelyGivesTheJavaLoopsPixelsForEveryColourSizeAndLayout() {
    YuvColour[] colours = {YuvColour.BT601_LIMITED, new YuvColour(Matrix.BT601, true),
        new YuvColour(Matrix.BT709, false), new YuvColour(Matrix.BT709, true)};
    // Widths across the kernel's 512-pixel pieces and vector lengths; padded strides, offsets.
    int[][] sizesAndPadding = {{1, 1, 0}, {2, 3, 5}, {37, 21, 3}, {64, 48, 0}, {515, 7, 13}};
    java.util.Random random = new java.util.Random(21);
    for (int[] size : sizesAndPadding) {
      int width = size[0];
      int height = size[1];
      int yStride = width + size[2];
      int chromaStride = (width + 1) / 2 + size[2];
      int chromaHeight = (height + 1) / 2;
      int uOffset = 7 + yStride * height;
      byte[] planes = new byte[uOffset + 2 * chromaStride * chromaHeight + 3];
      random.nextBytes(planes);
      I420Picture shared = I420Picture.ofPlanes(width, height,
          new byte[][] {planes, planes, planes}, new int[] {yStride, chromaStride, chromaStride},
          new int[] {7, uOffset, uOffset + chromaStride * chromaHeight});
      byte[] packed = shared.toPacked();
      int lumaSize = width * height;
      int chromaSize = (width + 1) / 2 * chromaHeight;
      I420Picture separate = I420Picture.ofPlanes(width, height,
          new byte[][] {Arrays.copyOf(packed, lumaSize),
              Arrays.copyOfRange(packed, lumaSize, lumaSize + chromaSize),
              Arrays.copyOfRange(packed, lumaSize + chromaSize, packed.length)},
          new int[] {width, (width + 1) / 2, (width + 1) / 2}, new int[] {0, 0, 0});
      for (YuvColour colour : colours) {
        String name = colour + " at " + width + "x" + height;
        int[] inJava = new int[width * height];
        ImageConversions.toRgbInJava(shared, colour, inJava);
        int[] natively = new int[width * height];
        assertTrue(ImageConversions.toRgbNatively(shared, colour, natively), name);
        assertArrayEquals(inJava, natively, name);
        // Planes in arrays of their own go through the Java loop, with the same pixels.
        assertFalse(ImageConversions.toRgbNatively(separate, colour, new int[width * height]));
        BufferedImage image = ImageConversions.toImage(separate, colour);
        assertArrayEquals(inJava, ((DataBufferInt) image.getRaster().getDataBuffer()).getData(),
            name + ", separate planes");
      }
    }
  }

  @Test
  void greysAndPrimariesLandOnTheLimitedRangeValues() {
    BufferedImage image = new BufferedImage(4, 2, BufferedImage.TYPE_INT_ARGB);
    image.setRGB(0, 0, 2, 2, new int[] {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000}, 0, 2);
    image.setRGB(2, 0, 2, 2, new int[] {0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF}, 0, 2);
    byte[] packed = ImageConversions.toI420(image).toPacked();
    assertEquals(16, packed[0] & 0xFF, "black");
    assertEquals(235, packed[2] & 0xFF, "white, whatever its alpha");
    assertEquals(128, packed[8] & 0xFF);
    assertEquals(128, packed[9] & 0xFF);
    BufferedImage back = ImageConversions.toImage(ImageConversions.toI420(image));
    assertEquals(0x000000, back.getRGB(0, 0) & 0xFFFFFF);
    assertEquals(0xFFFFFF, back.getRGB(3, 1) & 0xFFFFFF);
  }

  @Test
  void oddSizesAverageTheSamplesThatExist() {
    BufferedImage image = new BufferedImage(3, 3, BufferedImage.TYPE_INT_RGB);
    for (int y = 0; y < 3; y++) {
      for (int x = 0; x < 3; x++) {
        image.setRGB(x, y, x == 2 || y == 2 ? 0x0000FF : 0xFF0000);
      }
    }
    I420Picture picture = ImageConversions.toI420(image);
    assertEquals(2, picture.chromaWidth());
    byte[] packed = picture.toPacked();
    // U of pure blue is 240 and of pure red 90; the last column and row hold only blue.
    assertEquals(90, packed[9] & 0xFF);
    assertEquals(240, packed[10] & 0xFF);
    assertEquals(240, packed[12] & 0xFF);
    assertThrows(NullPointerException.class, () -> ImageConversions.toI420(null));
    assertThrows(NullPointerException.class,
        () -> ImageConversions.toImage((DecodedPicture) null));
  }

  @Test
  void rasterReadingMatchesGetRgbForEveryImageTypeAndTargetLayout() {
    int[] types = {
      BufferedImage.TYPE_INT_RGB, BufferedImage.TYPE_INT_ARGB, BufferedImage.TYPE_INT_BGR,
      BufferedImage.TYPE_3BYTE_BGR, BufferedImage.TYPE_4BYTE_ABGR,
      BufferedImage.TYPE_INT_ARGB_PRE, BufferedImage.TYPE_USHORT_565_RGB
    };
    int[][] sizes = {{64, 48}, {37, 21}, {2, 1}, {1, 3}};
    java.util.Random random = new java.util.Random(12);
    for (int type : types) {
      for (int[] size : sizes) {
        int width = size[0];
        int height = size[1];
        String name = "type " + type + " at " + width + "x" + height;
        // A sub-image shares its parent's raster, so it is read through getRGB.
        BufferedImage viaGetRgb =
            new BufferedImage(width + 3, height + 2, type).getSubimage(3, 2, width, height);
        BufferedImage plain = new BufferedImage(width, height, type);
        for (int y = 0; y < height; y++) {
          for (int x = 0; x < width; x++) {
            viaGetRgb.setRGB(x, y, random.nextInt() | 0xFF000000);
            plain.setRGB(x, y, viaGetRgb.getRGB(x, y));
          }
        }
        byte[] expected = ImageConversions.toI420(viaGetRgb).toPacked();
        assertArrayEquals(expected, ImageConversions.toI420(plain).toPacked(), name);

        // Into a reused picture whose planes have padded rows and start past an offset.
        int chromaWidth = (width + 1) / 2;
        int chromaHeight = (height + 1) / 2;
        byte[] shared = new byte[5 + (width + 7) * height + 2 * (chromaWidth + 3) * chromaHeight];
        int uOffset = 5 + (width + 7) * height;
        I420Picture target =
            I420Picture.ofPlanes(width, height, new byte[][] {shared, shared, shared},
                new int[] {width + 7, chromaWidth + 3, chromaWidth + 3},
                new int[] {5, uOffset, uOffset + (chromaWidth + 3) * chromaHeight});
        ImageConversions.toI420(plain, target);
        assertArrayEquals(expected, target.toPacked(), name + ", padded target");
      }
    }
    assertThrows(IllegalArgumentException.class,
        () -> ImageConversions.toI420(testImage(), I420Picture.allocate(WIDTH, HEIGHT + 2)));

    // The 2x2 blocks inside an image and the two-pixel blocks of a last row take different code:
    // [a b; a b] and [a b] must give the same chroma.
    for (int i = 0; i < 2000; i++) {
      int a = random.nextInt();
      int b = i % 2 == 0 ? random.nextInt() : a ^ 0xFFFFFF;
      BufferedImage block = new BufferedImage(2, 2, BufferedImage.TYPE_INT_RGB);
      block.setRGB(0, 0, 2, 2, new int[] {a, b, a, b}, 0, 2);
      BufferedImage row = new BufferedImage(2, 1, BufferedImage.TYPE_INT_RGB);
      row.setRGB(0, 0, 2, 1, new int[] {a, b}, 0, 2);
      byte[] fromBlock = ImageConversions.toI420(block).toPacked();
      byte[] fromRow = ImageConversions.toI420(row).toPacked();
      assertEquals(fromRow[2], fromBlock[4], "U of " + Integer.toHexString(a) + ", "
          + Integer.toHexString(b));
      assertEquals(fromRow[3], fromBlock[5], "V");
    }
  }
}
