package tq.brindlecast.openh264.tool;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import java.awt.image.SinglePixelPackedSampleModel;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.util.zip.CRC32;
import java.util.zip.Deflater;
import java.util.zip.DeflaterOutputStream;
import javax.imageio.ImageIO;

/**
 * Images as PNG files, written as they are compressed, in IDAT chunks of at most {@value
 * #CHUNK} bytes, so that nothing the size of the image is held besides it. The RGB images the
 * grabber makes are written here directly, each row with the Sub filter and deflate level 1:
 * ImageIO's PNG writer reads the pixels one sample at a time through the raster and took about
 * as long as decoding the picture. Other images go through ImageIO.
 */
final class PngImages {
  /** The deflate level: 0 (none) to 9 (smallest, slowest). */
  static final int DEFLATE_LEVEL = 1;
  /** The most compressed bytes an IDAT chunk carries. */
  static final int CHUNK = 1 << 16;

  private static final byte[] SIGNATURE = {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  private static final int FILTER_SUB = 1;

  private PngImages() {}

  /** Writes the image to a stream as a PNG file, leaving the stream open. */
  static void write(BufferedImage image, OutputStream out) throws IOException {
    if (image.getType() != BufferedImage.TYPE_INT_RGB
        || !(image.getSampleModel() instanceof SinglePixelPackedSampleModel model)
        || image.getRaster().getParent() != null
        || image.getRaster().getDataBuffer().getOffset() != 0) {
      if (!ImageIO.write(image, "png", out)) {
        throw new IOException("this Java runtime has no PNG writer");
      }
      return;
    }
    int width = image.getWidth();
    int height = image.getHeight();
    int[] pixels = ((DataBufferInt) image.getRaster().getDataBuffer()).getData();
    int stride = model.getScanlineStride();
    out.write(SIGNATURE);
    Chunks chunks = new Chunks(out);
    chunks.header(width, height);
    Deflater deflater = new Deflater(DEFLATE_LEVEL);
    try (DeflaterOutputStream zlib = new DeflaterOutputStream(chunks, deflater, CHUNK)) {
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
    chunks.end();
  }

  /**
   * The chunks of a PNG file after its signature: written to the stream under it whole, each in
   * one write, with the compressed pixels written to this stream becoming IDAT chunks.
   */
  private static final class Chunks extends OutputStream {
    private static final int TYPE_AND_LENGTH = 8;
    private final OutputStream out;
    private final byte[] chunk = new byte[TYPE_AND_LENGTH + CHUNK + 4];
    private final ByteBuffer fields = ByteBuffer.wrap(chunk); // big-endian, as PNG is
    private int filled; // the data bytes of the IDAT chunk being filled
    private final CRC32 crc = new CRC32();

    Chunks(OutputStream out) {
      this.out = out;
    }

    void header(int width, int height) throws IOException {
      fields.putInt(TYPE_AND_LENGTH, width).putInt(TYPE_AND_LENGTH + 4, height);
      // 8 bits, RGB, deflate, filters, no interlace
      System.arraycopy(new byte[] {8, 2, 0, 0, 0}, 0, chunk, TYPE_AND_LENGTH + 8, 5);
      emit("IHDR", 13);
    }

    @Override
    public void write(int b) throws IOException {
      write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public void write(byte[] data, int offset, int length) throws IOException {
      while (length > 0) {
        int n = Math.min(length, CHUNK - filled);
        System.arraycopy(data, offset, chunk, TYPE_AND_LENGTH + filled, n);
        filled += n;
        offset += n;
        length -= n;
        if (filled == CHUNK) {
          emit("IDAT", filled);
        }
      }
    }

    /** Writes the last IDAT chunk and IEND; closing the deflater does not close this. */
    void end() throws IOException {
      if (filled > 0) {
        emit("IDAT", filled);
      }
      emit("IEND", 0);
    }

    @Override
    public void close() {
      // the deflater's close: the file is ended by end()
    }

    private void emit(String type, int length) throws IOException {
      fields.putInt(0, length);
      System.arraycopy(type.getBytes(StandardCharsets.US_ASCII), 0, chunk, 4, 4);
      crc.reset();
      crc.update(chunk, 4, 4 + length);
      fields.putInt(TYPE_AND_LENGTH + length, (int) crc.getValue());
      out.write(chunk, 0, TYPE_AND_LENGTH + length + 4);
      filled = 0;
    }
  }
}
