package tq.brindlecast.openh264;

import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import tq.brindlecast.openh264.bitstream.NalUnit;

/** Pictures and stream helpers shared by the native encoder and decoder tests. */
final class TestPictures {
  private TestPictures() {}

  /** Packed I420 of a pattern that moves with the frame index. */
  static byte[] movingPattern(int width, int height, int frame) {
    int chromaWidth = (width + 1) / 2;
    int chromaHeight = (height + 1) / 2;
    byte[] picture = new byte[width * height + 2 * chromaWidth * chromaHeight];
    for (int y = 0; y < height; y++) {
      for (int x = 0; x < width; x++) {
        int value = ((x + 3 * frame) / 8 + (y + frame) / 8) % 2 == 0 ? 40 : 200;
        picture[y * width + x] = (byte) (value + (x * 7 + y * 3 + frame) % 16);
      }
    }
    int u = width * height;
    int v = u + chromaWidth * chromaHeight;
    for (int y = 0; y < chromaHeight; y++) {
      for (int x = 0; x < chromaWidth; x++) {
        picture[u + y * chromaWidth + x] = (byte) (64 + (x + frame) % 128);
        picture[v + y * chromaWidth + x] = (byte) (192 - (y + frame) % 128);
      }
    }
    return picture;
  }

  /** Packed I420 of random noise, which no encoder can squeeze. */
  static byte[] noise(int width, int height, long seed) {
    byte[] picture = new byte[width * height * 3 / 2];
    new Random(seed).nextBytes(picture);
    return picture;
  }

  /** The three planes of a packed I420 picture as separate arrays. */
  static byte[][] planes(byte[] packed, int width, int height) {
    int chromaSize = ((width + 1) / 2) * ((height + 1) / 2);
    byte[][] planes = new byte[3][];
    planes[0] = java.util.Arrays.copyOfRange(packed, 0, width * height);
    planes[1] = java.util.Arrays.copyOfRange(packed, width * height, width * height + chromaSize);
    planes[2] =
        java.util.Arrays.copyOfRange(
            packed, width * height + chromaSize, width * height + 2 * chromaSize);
    return planes;
  }

  /** Strides of tightly packed planes, with the fourth entry I420 ignores. */
  static int[] strides(int width) {
    int chroma = (width + 1) / 2;
    return new int[] {width, chroma, chroma, 0};
  }

  /** The NAL unit types of an Annex B stream, in order. */
  static List<Integer> nalTypes(byte[] stream) {
    List<Integer> types = new ArrayList<>();
    for (int i = 0; i + 3 < stream.length; i++) {
      if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
        types.add(NalUnit.typeOf(stream[i + 3]));
        i += 3;
      }
    }
    return types;
  }
}
