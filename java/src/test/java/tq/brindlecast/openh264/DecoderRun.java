package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;

/**
 * One native decoder driven the way a receiver drives it: a buffer per call, then null buffers
 * at the end of the stream. Every returned picture is checked against the geometry written to
 * the out-arrays and kept cropped to packed I420.
 */
final class DecoderRun implements AutoCloseable {
  final long handle;
  final int[] width = new int[1];
  final int[] height = new int[1];
  final int[] strides = new int[3];
  final int[] planeSizes = new int[3];
  final int[] planeCount = new int[1];
  /** Pictures returned by calls with data. */
  int picturesFromData;
  /** Pictures returned by end-of-stream calls. */
  int picturesFromDrain;

  DecoderRun() {
    this(new DecoderConfig());
  }

  DecoderRun(DecoderConfig config) {
    handle = Native.OpenH264TQDecoderCreate(null, null, null, null);
    assertNotEquals(0L, handle);
    if (config != null) {
      assertEquals(0, Native.OpenH264TQDecoderSetConfig(handle, config));
    }
  }

  /** Decodes one buffer; returns the picture as packed I420, or null. */
  byte[] decode(byte[] buffer) {
    byte[] picture = decodeRaw(buffer, buffer == null ? 0 : buffer.length);
    if (picture == null) {
      return null;
    }
    if (buffer == null) {
      picturesFromDrain++;
    } else {
      picturesFromData++;
    }
    return cropped(picture);
  }

  /** The array Decode returns, unchecked. */
  byte[] decodeRaw(byte[] buffer, int length) {
    return Native.OpenH264TQDecoderDecode(
        handle, buffer, length, width, height, strides, planeSizes, planeCount);
  }

  /** Decodes every buffer, then drains the decoder; returns all pictures in order. */
  List<byte[]> decodeAll(List<byte[]> buffers) {
    List<byte[]> pictures = new ArrayList<>();
    for (byte[] buffer : buffers) {
      byte[] picture = decode(buffer);
      if (picture != null) {
        pictures.add(picture);
      }
    }
    pictures.addAll(drain());
    return pictures;
  }

  /** Asks for held pictures until none is left. */
  List<byte[]> drain() {
    List<byte[]> pictures = new ArrayList<>();
    for (byte[] picture = decode(null); picture != null; picture = decode(null)) {
      pictures.add(picture);
      assertTrue(pictures.size() < 64, "the drain ends");
    }
    return pictures;
  }

  long needsKeyFrame() {
    return Native.OpenH264TQDecoderGetNeedsKeyFrame(handle);
  }

  /** Packed I420 of the last picture: the planes cut to width and height. */
  byte[] cropped(byte[] picture) {
    int w = width[0];
    int h = height[0];
    assertEquals(3, planeCount[0]);
    assertTrue(w > 0 && h > 0 && w % 2 == 0 && h % 2 == 0, "size " + w + "x" + h);
    assertTrue(strides[0] >= w && strides[1] >= w / 2, "strides hold a row");
    assertEquals(strides[1], strides[2], "U and V share a stride");
    assertEquals(strides[0] * h, planeSizes[0]);
    assertEquals(strides[1] * (h / 2), planeSizes[1]);
    assertEquals(planeSizes[1], planeSizes[2]);
    assertEquals(planeSizes[0] + planeSizes[1] + planeSizes[2], picture.length);
    byte[] packed = new byte[w * h * 3 / 2];
    int to = copyRows(picture, 0, strides[0], w, h, packed, 0);
    to = copyRows(picture, planeSizes[0], strides[1], w / 2, h / 2, packed, to);
    copyRows(picture, planeSizes[0] + planeSizes[1], strides[1], w / 2, h / 2, packed, to);
    return packed;
  }

  private static int copyRows(
      byte[] from, int offset, int stride, int rowBytes, int rows, byte[] to, int toOffset) {
    for (int row = 0; row < rows; row++) {
      System.arraycopy(from, offset + row * stride, to, toOffset + row * rowBytes, rowBytes);
    }
    return toOffset + rows * rowBytes;
  }

  @Override
  public void close() {
    Native.OpenH264TQDecoderDestroy(handle);
  }
}
