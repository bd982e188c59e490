package example.consumer;

import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/**
 * Encodes one picture with the library as a Maven dependency, decodes it again, and checks that
 * the decoded picture has the size and, within coding loss, the content of the source. Exits 1
 * with the reason when it does not.
 */
public final class RoundTrip {
  private static final int WIDTH = 64;
  private static final int HEIGHT = 48;
  // An IDR picture of a smooth pattern comes back far above this; a wrong picture far below.
  private static final double MIN_LUMA_PSNR = 30;

  private RoundTrip() {}

  public static void main(String[] args) {
    byte[] source = pattern();
    EncodedFrame frame;
    try (H264Encoder encoder = new H264Encoder(new EncoderConfig())) {
      frame = encoder.encode(I420Picture.fromPacked(source, WIDTH, HEIGHT));
    }
    check(frame != null, "the encoder produced nothing");
    check(frame.isIdr(), "the first picture is not an IDR picture: " + frame);

    DecodedPicture picture;
    try (H264Decoder decoder = new H264Decoder()) {
      DecodeResult result = decoder.decodeAccessUnit(frame.data());
      check(!result.failed(), "the picture did not decode: " + result.reason());
      picture = result.picture() != null ? result.picture() : decoder.drain();
    }
    check(picture != null, "the decoder returned no picture");
    check(
        picture.width() == WIDTH && picture.height() == HEIGHT,
        "decoded " + picture.width() + "x" + picture.height() + ", not " + WIDTH + "x" + HEIGHT);
    double psnr = lumaPsnr(source, picture.toPackedI420());
    check(psnr >= MIN_LUMA_PSNR, "luma PSNR " + psnr + " dB is below " + MIN_LUMA_PSNR);
    System.out.printf(
        "round trip: %dx%d, %d bytes, luma PSNR %.1f dB%n", WIDTH, HEIGHT, frame.size(), psnr);
  }

  /** Diagonal luma ramps and flat chroma: easy to code, and any misplaced block shows. */
  private static byte[] pattern() {
    byte[] data = new byte[I420Picture.packedSize(WIDTH, HEIGHT)];
    for (int y = 0; y < HEIGHT; y++) {
      for (int x = 0; x < WIDTH; x++) {
        data[y * WIDTH + x] = (byte) (16 + 3 * x + 2 * y);
      }
    }
    java.util.Arrays.fill(data, WIDTH * HEIGHT, data.length, (byte) 128);
    return data;
  }

  private static double lumaPsnr(byte[] expected, byte[] actual) {
    double squares = 0;
    for (int i = 0; i < WIDTH * HEIGHT; i++) {
      int difference = (expected[i] & 0xff) - (actual[i] & 0xff);
      squares += difference * difference;
    }
    double mse = squares / (WIDTH * HEIGHT);
    return mse == 0 ? Double.POSITIVE_INFINITY : 10 * Math.log10(255 * 255 / mse);
  }

  private static void check(boolean condition, String failure) {
    if (!condition) {
      System.err.println("round trip failed: " + failure);
      System.exit(1);
    }
  }
}
