package tq.brindlecast.openh264.tool;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.util.Locale;
import tq.brindlecast.openh264.I420Picture;

/** Writes pictures of one size to a YUV4MPEG2 (Y4M) file with 4:2:0 chroma. */
final class Y4mWriter implements AutoCloseable {
  private static final byte[] FRAME = "FRAME\n".getBytes(StandardCharsets.US_ASCII);

  private final OutputStream out;
  private final String name;
  private final int[] rate;
  private int width;
  private int height;
  private int count;

  /**
   * Prepares the writer; the header is written with the first picture.
   *
   * @param fps the frame rate written to the header
   */
  Y4mWriter(OutputStream out, String name, double fps) {
    this.out = new BufferedOutputStream(out, 1 << 16);
    this.name = name;
    this.rate = rational(fps);
  }

  /**
   * Writes one picture, cropped and packed.
   *
   * @throws IOException if writing fails or the size differs from the first picture's, which a
   *     Y4M file cannot hold
   */
  void write(I420Picture picture) throws IOException {
    if (count == 0) {
      width = picture.width();
      height = picture.height();
      String header =
          String.format(
              Locale.ROOT, "%s W%d H%d F%d:%d Ip A1:1 C420jpeg\n", Y4mReader.MAGIC, width, height,
              rate[0], rate[1]);
      out.write(header.getBytes(StandardCharsets.US_ASCII));
    } else if (picture.width() != width || picture.height() != height) {
      throw new IOException(
          "picture " + (count + 1) + " is " + picture.width() + "x" + picture.height()
              + " but the earlier ones are " + width + "x" + height + "; " + name
              + " (Y4M) holds one size only");
    }
    out.write(FRAME);
    out.write(picture.toPacked());
    count++;
  }

  /** The number of pictures written. */
  int count() {
    return count;
  }

  @Override
  public void close() throws IOException {
    out.close();
  }

  /** A frame rate as a fraction: whole rates as n:1, NTSC-style rates as n000:1001. */
  static int[] rational(double fps) {
    long whole = Math.round(fps);
    if (Math.abs(fps - whole) < 1e-6) {
      return new int[] {(int) whole, 1};
    }
    long ntsc = Math.round(fps * 1001);
    if (Math.abs(ntsc / 1001.0 - fps) < 1e-6) {
      return new int[] {(int) ntsc, 1001};
    }
    return new int[] {(int) Math.round(fps * 1000), 1000};
  }
}
