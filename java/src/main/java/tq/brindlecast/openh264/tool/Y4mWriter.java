package tq.brindlecast.openh264.tool;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.util.Locale;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;

/**
 * Writes pictures of one size to a YUV4MPEG2 (Y4M) file with 4:2:0 chroma sited as H.264 sites
 * it ({@code C420mpeg2}), with the frame rate, sample aspect ratio and sample range given before
 * the first picture.
 */
final class Y4mWriter implements AutoCloseable {
  private static final byte[] FRAME = "FRAME\n".getBytes(StandardCharsets.US_ASCII);

  private final OutputStream out;
  private final String name;
  /** The highest frame rate written, the one the tool reads back. */
  static final int MAX_RATE = 1000;

  private long[] rate;
  private int[] aspect = {0, 0};
  private boolean fullRange;
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
    int[] fraction = rational(fps);
    this.rate = new long[] {fraction[0], fraction[1]};
  }

  /**
   * Takes the frame rate, sample aspect ratio and sample range a stream's sequence parameter set
   * gives, where it gives them; call it before the first picture.
   *
   * @param keepRate true to keep the frame rate given to the constructor (the user chose it)
   */
  void describe(SequenceParameterSet sps, boolean keepRate) {
    if (sps == null || count > 0) {
      return;
    }
    if (!keepRate && sps.hasFrameRate()) {
      long numerator = sps.timeScale();
      long denominator = 2 * sps.numUnitsInTick();
      long divisor = gcd(numerator, denominator);
      if (numerator > 0 && denominator > 0 && numerator <= MAX_RATE * denominator) {
        rate = new long[] {numerator / divisor, denominator / divisor};
      } // else a rate no reader takes: the one given to the constructor stays
    }
    if (sps.hasAspectRatio()) {
      aspect = new int[] {sps.sarWidth(), sps.sarHeight()};
    }
    fullRange = sps.fullRange();
  }

  /** Marks the samples as full range (0 to 255); call it before the first picture. */
  void setFullRange(boolean fullRange) {
    this.fullRange = fullRange;
  }

  private static long gcd(long a, long b) {
    return b == 0 ? a : gcd(b, a % b);
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
              Locale.ROOT, "%s W%d H%d F%d:%d Ip A%d:%d C420mpeg2%s\n", Y4mReader.MAGIC, width,
              height, rate[0], rate[1], aspect[0], aspect[1],
              fullRange ? " XCOLORRANGE=FULL" : "");
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

  /** Writes out what is buffered. */
  void flush() throws IOException {
    out.flush();
  }

  @Override
  public void close() throws IOException {
    out.close();
  }

  /**
   * A frame rate as a fraction: whole rates as n:1, NTSC-style rates as n000:1001.
   *
   * @throws IllegalArgumentException if the rate is not one a Y4M header holds (above 0, at most
   *     {@link #MAX_RATE}), such as what a timescale of 2^32-1 ticks a second gives
   */
  static int[] rational(double fps) {
    if (!(fps > 0 && fps <= MAX_RATE)) {
      throw new IllegalArgumentException(
          String.format(Locale.ROOT, "the video's timing gives %.6g pictures a second, which the"
              + " Y4M header cannot hold (above 0, at most %d); give the rate with --fps", fps,
              MAX_RATE));
    }
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
