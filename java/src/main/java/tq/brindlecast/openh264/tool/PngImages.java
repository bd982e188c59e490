package tq.brindlecast.openh264.tool;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import java.awt.image.SinglePixelPackedSampleModel;
import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.zip.CRC32;
import java.util.zip.Deflater;
import java.util.zip.DeflaterOutputStream;
import javax.imageio.ImageIO;

/**
 * Images as PNG files, made in memory. The RGB images the grabber makes are written here
 * directly, each row with the Sub filter and deflate level 1: ImageIO's PNG writer reads the
 * pixels one sample at a time through the raster and took about as long as decoding the
 * picture. Other images go through ImageIO.
 */
final class PngImages {
  /** The deflate level: 0 (none) to 9 (smallest, slowest). */
  static final int DEFLATE_LEVEL = 1;

  private static final byte[] SIGNATURE = {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  private static final int FILTER_SUB = 1;

  private PngImages() {}

  /** {@return the image as a PNG file} */
  static byte[] encode(BufferedImage image) throws IOException {
    if (image.getType() != BufferedImage.TYPE_INT_RGB
        || !(image.getSampleModel() instanceof SinglePixelPackedSampleModel model)
        || image.getRaster().getParent() != null
        || image.getRaster().getDataBuffer().getOffset() != 0) {
      ByteArrayOutputStream out = new ByteArrayOutputStream();
      if (!ImageIO.write(image, "png", out)) {
        throw new IOException("this Java runtime has no PNG writer");
      }
      return out.toByteArray();
    }
    int width = image.getWidth();
    int height = image.getHeight();
    int[] pixels = ((DataBufferInt) image.getRaster().getDataBuffer()).getData();
    int stride = model.getScanlineStride();
    ByteArrayOutputStream file = new ByteArrayOutputStream(width * height);
    file.write(SIGNATURE);
    ByteArrayOutputStream header = new ByteArrayOutputStream(13);
    DataOutputStream fields = new DataOutputStream(header);
    fields.writeInt(width);
    fields.writeInt(height);
    fields.write(new byte[] {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, filters, no interlace
    chunk(file, "IHDR", header.toByteArray());
    ByteArrayOutputStream compressed = new ByteArrayOutputStream(width * height);
    Deflater deflater = new Deflater(DEFLATE_LEVEL);
    try (DeflaterOutputStream zlib = new DeflaterOutputStream(compressed, deflater, 1 << 16)) {
      byte[] row = new byte[1 + 3 * width];
      row[0] = FILTER_SUB;
      for (int y = 0; y < height; y++) {
        int at = y * stride;
        int r = 0;
        int g = 0;
        int b = 0; // the pixel to the left, 0 before the first
        for (int x = 0, i = 1; x < width; x++, i += 3) {
          int rgb = pixels[at + x];
          int nr = rgb >>> 16 & 0xff;
          int ng = rgb >>> 8 & 0xff;
          int nb = rgb & 0xff;
          row[i] = (byte) (nr - r);
          row[i + 1] = (byte) (ng - g);
          row[i + 2] = (byte) (nb - b);
          r = nr;
          g = ng;
          b = nb;
        }
        zlib.write(row);
      }
    } finally {
      deflater.end();
    }
    chunk(file, "IDAT", compressed.toByteArray());
    chunk(file, "IEND", new byte[0]);
    return file.toByteArray();
  }

  private static void chunk(ByteArrayOutputStream file, String type, byte[] data)
      throws IOException {
    DataOutputStream out = new DataOutputStream(file);
    byte[] name = type.getBytes(StandardCharsets.US_ASCII);
    CRC32 crc = new CRC32();
    crc.update(name);
    crc.update(data);
    out.writeInt(data.length);
    out.write(name);
    out.write(data);
    out.writeInt((int) crc.getValue());
  }
}
