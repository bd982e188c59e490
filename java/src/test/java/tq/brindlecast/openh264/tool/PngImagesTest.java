package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.nio.ByteBuffer;
import java.util.Random;
import java.util.zip.CRC32;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.Test;

/** PNG files written as they are compressed read back to the same pixels, every chunk whole. */
class PngImagesTest {
  @Test
  void filesReadBackWithEveryChunkWhole() throws Exception {
    // Noise that fills several IDAT chunks, an odd size, and a type that goes through ImageIO.
    for (int type : new int[] {BufferedImage.TYPE_INT_RGB, BufferedImage.TYPE_3BYTE_BGR}) {
      BufferedImage image = new BufferedImage(301, 299, type);
      Random random = new Random(type);
      for (int at = 0; at < 301 * 299; at++) {
        image.setRGB(at % 301, at / 301, random.nextInt());
      }
      ByteArrayOutputStream out = new ByteArrayOutputStream();
      PngImages.write(image, out);
      byte[] file = out.toByteArray();
      int chunks = 0;
      for (ByteBuffer in = ByteBuffer.wrap(file, 8, file.length - 8); in.hasRemaining(); chunks++) {
        int length = in.getInt();
        assertTrue(length <= PngImages.CHUNK, "chunk " + chunks + ": " + length + " bytes");
        CRC32 crc = new CRC32();
        crc.update(file, in.position(), 4 + length);
        in.position(in.position() + 4 + length);
        assertEquals((int) crc.getValue(), in.getInt(), "the CRC of chunk " + chunks);
      }
      assertTrue(chunks > 5, chunks + " chunks"); // IHDR, IDAT..., IEND
      BufferedImage read = ImageIO.read(new ByteArrayInputStream(file));
      assertArrayEquals(image.getRGB(0, 0, 301, 299, null, 0, 301),
          read.getRGB(0, 0, 301, 299, null, 0, 301), "type " + type);
    }
  }
}
