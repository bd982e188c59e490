package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.zip.CRC32;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.Test;

/** PNG files written as they are compressed read back to the same pixels. */
class PngImagesTest {
  @Test
  void filesReadBackWithEveryChunkWhole() throws Exception {
    // {width, height, image type}: odd sizes; noise that compresses to several IDAT chunks; a
    // type that goes through ImageIO; a subimage (its raster has a parent).
    int[][] cases = {{1, 1, BufferedImage.TYPE_INT_RGB}, {37, 5, BufferedImage.TYPE_INT_RGB},
        {300, 301, BufferedImage.TYPE_INT_RGB}, {33, 17, BufferedImage.TYPE_3BYTE_BGR},
        {40, 30, -1}};
    Random random = new Random(5);
    for (int[] c : cases) {
      BufferedImage image = c[2] < 0
          ? new BufferedImage(50, 50, BufferedImage.TYPE_INT_RGB).getSubimage(3, 7, c[0], c[1])
          : new BufferedImage(c[0], c[1], c[2]);
      for (int y = 0; y < c[1]; y++) {
        for (int x = 0; x < c[0]; x++) {
          image.setRGB(x, y, random.nextInt());
        }
      }
      ByteArrayOutputStream file = new ByteArrayOutputStream();
      PngImages.write(image, file);
      String name = c[0] + "x" + c[1] + " type " + c[2];
      List<String> chunks = chunks(file.toByteArray(), name);
      assertEquals("IHDR", chunks.get(0), name);
      assertEquals("IEND", chunks.get(chunks.size() - 1), name);
      if (c[0] == 300) {
        assertTrue(chunks.stream().filter("IDAT"::equals).count() > 3, name + ": " + chunks);
      }
      BufferedImage read = ImageIO.read(new ByteArrayInputStream(file.toByteArray()));
      assertArrayEquals(image.getRGB(0, 0, c[0], c[1], null, 0, c[0]),
          read.getRGB(0, 0, c[0], c[1], null, 0, c[0]), name);
    }
  }

  /** {@return the chunk types of a PNG file, each checked for its length and CRC} */
  private static List<String> chunks(byte[] file, String name) {
    ByteBuffer in = ByteBuffer.wrap(file, 8, file.length - 8);
    List<String> types = new ArrayList<>();
    while (in.hasRemaining()) {
      int length = in.getInt();
      assertTrue(length >= 0 && length <= PngImages.CHUNK && length + 8 <= in.remaining(), name);
      CRC32 crc = new CRC32();
      crc.update(file, in.position(), 4 + length);
      types.add(new String(file, in.position(), 4, StandardCharsets.US_ASCII));
      in.position(in.position() + 4 + length);
      assertEquals((int) crc.getValue(), in.getInt(), name + ": the CRC of " + types);
    }
    return types;
  }
}
