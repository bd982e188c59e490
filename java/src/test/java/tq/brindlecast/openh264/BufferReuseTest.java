package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;

import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/** The copies the Java API spares: staged planes to encode, arrays handed back to decode into. */
class BufferReuseTest {
  private static final int WIDTH = 160;
  private static final int HEIGHT = 96;
  private static final int PICTURES = 6;

  private static H264Encoder newEncoder() {
    H264Encoder encoder =
        new H264Encoder(
            new EncoderConfig().setRcMode(RateControlMode.BITRATE).setEnableFrameSkip(false));
    encoder.setBitrate(800);
    return encoder;
  }

  /** The picture in one array, every row padded and the planes in the order V, Y, U. */
  private static I420Picture paddedInOneArray(byte[] packed) {
    int cw = WIDTH / 2;
    int ch = HEIGHT / 2;
    int[] strides = {WIDTH + 24, cw + 8, cw + 8};
    int vStart = 5;
    int yStart = vStart + strides[2] * ch;
    int uStart = yStart + strides[0] * HEIGHT;
    byte[] all = new byte[uStart + strides[1] * ch + 3];
    java.util.Arrays.fill(all, (byte) 0x55);
    int[] starts = {yStart, uStart, vStart};
    int[] packedStarts = {0, WIDTH * HEIGHT, WIDTH * HEIGHT + cw * ch};
    for (int plane = 0; plane < 3; plane++) {
      int rowWidth = plane == 0 ? WIDTH : cw;
      int rows = plane == 0 ? HEIGHT : ch;
      for (int row = 0; row < rows; row++) {
        System.arraycopy(packed, packedStarts[plane] + row * rowWidth, all,
            starts[plane] + row * strides[plane], rowWidth);
      }
    }
    return I420Picture.ofPlanes(WIDTH, HEIGHT, new byte[][] {all, all, all}, strides, starts);
  }

  /** Y in an array of its own, U and V one after the other in a second array. */
  private static I420Picture chromaInOneArray(byte[][] planes) {
    byte[] chroma = new byte[planes[1].length + planes[2].length];
    System.arraycopy(planes[1], 0, chroma, 0, planes[1].length);
    System.arraycopy(planes[2], 0, chroma, planes[1].length, planes[2].length);
    return I420Picture.ofPlanes(WIDTH, HEIGHT, new byte[][] {planes[0], chroma, chroma},
        new int[] {WIDTH, WIDTH / 2, WIDTH / 2}, new int[] {0, 0, planes[1].length});
  }

  @Test
  void picturesSharingArraysEncodeToTheBytesOfSeparatePlanes() {
    try (H264Encoder separate = newEncoder();
        H264Encoder packed = newEncoder();
        H264Encoder padded = newEncoder();
        H264Encoder chromaShared = newEncoder()) {
      for (int i = 0; i < PICTURES; i++) {
        byte[] source = TestPictures.movingPattern(WIDTH, HEIGHT, i);
        byte[][] planes = TestPictures.planes(source, WIDTH, HEIGHT);
        EncodedFrame expected =
            separate.encode(I420Picture.ofPlanes(
                WIDTH, HEIGHT, planes[0], WIDTH, planes[1], WIDTH / 2, planes[2], WIDTH / 2));
        assertNotNull(expected, "picture " + i);
        EncodedFrame fromPacked = packed.encode(I420Picture.fromPacked(source, WIDTH, HEIGHT));
        EncodedFrame fromPadded = padded.encode(paddedInOneArray(source));
        assertArrayEquals(expected.data(), fromPacked.data(), "packed picture " + i);
        assertArrayEquals(expected.data(), fromPadded.data(), "padded picture " + i);
        EncodedFrame fromChromaShared = chromaShared.encode(chromaInOneArray(planes));
        assertArrayEquals(expected.data(), fromChromaShared.data(), "chroma-shared picture " + i);
      }
    }
  }

  @Test
  void aHandedBackArrayReceivesThePictureOnlyWhenItsLengthFits() {
    List<byte[]> stream = new ArrayList<>();
    try (H264Encoder encoder = newEncoder()) {
      for (int i = 0; i < PICTURES; i++) {
        stream.add(encoder.encode(H264EncoderTest.picture(WIDTH, HEIGHT, i)).data());
      }
    }
    try (H264Decoder plain = new H264Decoder();
        H264Decoder reusing = new H264Decoder()) {
      byte[] tooShort = new byte[1];
      byte[] reuse = tooShort;
      for (int i = 0; i < PICTURES; i++) {
        byte[] unit = stream.get(i);
        DecodedPicture expected = plain.decode(unit);
        DecodedPicture picture = reusing.decode(unit, 0, unit.length, reuse);
        assertNotNull(picture, "picture " + i);
        if (i == 0) {
          assertNotSame(tooShort, picture.data(), "an array of the wrong length is not used");
          assertEquals(0, tooShort[0]);
        } else {
          assertSame(reuse, picture.data(), "picture " + i + " is written into the array");
        }
        assertArrayEquals(expected.toPackedI420(), picture.toPackedI420(), "picture " + i);
        reuse = picture.data();
      }
      // An offer that no picture took is withdrawn with the call.
      byte[] accessUnitDelimiter = {0, 0, 0, 1, 9, 0x10};
      assertNull(reusing.decode(accessUnitDelimiter, 0, accessUnitDelimiter.length, reuse));
      assertNotSame(reuse, Native.AllocCallback(reuse.length));
    }
  }
}
