package tq.brindlecast.openh264.smoke;

import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/**
 * Encodes a few moving pictures and decodes them again, and fails (exit status 1) unless every
 * picture comes back at its size and java.desktop is absent from the running image.
 */
public final class CodecSmoke {
  private static final int WIDTH = 64;
  private static final int HEIGHT = 48;
  private static final int PICTURES = 10;

  private CodecSmoke() {}

  public static void main(String[] args) {
    if (ModuleLayer.boot().findModule("java.desktop").isPresent()) {
      fail("java.desktop is in the image; the check proves nothing");
    }
    int decoded = 0;
    try (H264Encoder encoder = new H264Encoder(new EncoderConfig());
        H264Decoder decoder = new H264Decoder()) {
      for (int i = 0; i < PICTURES; i++) {
        EncodedFrame frame = encoder.encode(picture(i));
        DecodedPicture picture = frame == null ? null : decoder.decode(frame.data());
        decoded += check(picture);
      }
      for (DecodedPicture picture; (picture = decoder.drain()) != null; ) {
        decoded += check(picture);
      }
    }
    if (decoded != PICTURES) {
      fail(PICTURES + " pictures encoded, " + decoded + " decoded");
    }
    System.out.println("encoded and decoded " + decoded + " pictures without java.desktop");
  }

  // A gradient that moves one pixel per picture.
  private static I420Picture picture(int index) {
    I420Picture picture = I420Picture.allocate(WIDTH, HEIGHT);
    byte[] data = picture.plane(I420Picture.Y);
    for (int y = 0; y < HEIGHT; y++) {
      for (int x = 0; x < WIDTH; x++) {
        data[y * WIDTH + x] = (byte) (16 + (x + y + index) * 2);
      }
    }
    return picture;
  }

  private static int check(DecodedPicture picture) {
    if (picture == null) {
      return 0;
    }
    if (picture.width() != WIDTH || picture.height() != HEIGHT) {
      fail("decoded a " + picture.width() + "x" + picture.height() + " picture");
    }
    return 1;
  }

  private static void fail(String reason) {
    System.err.println("jlink check failed: " + reason);
    System.exit(1);
  }
}
