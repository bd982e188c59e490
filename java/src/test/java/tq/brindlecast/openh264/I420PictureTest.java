package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static tq.brindlecast.openh264.Refusals.assertRefused;

import org.junit.jupiter.api.Test;

class I420PictureTest {
  @Test
  void packedArrayIsSplitIntoPlanesWithOddSizesRoundedUp() {
    // 5x3: Y 15 bytes, U and V 3x2 = 6 bytes each.
    byte[] data = new byte[27];
    for (int i = 0; i < data.length; i++) {
      data[i] = (byte) i;
    }
    I420Picture picture = I420Picture.fromPacked(data, 5, 3);
    assertEquals(27, I420Picture.packedSize(5, 3));
    assertEquals(3, picture.chromaWidth());
    assertEquals(2, picture.chromaHeight());
    assertEquals(0, picture.offset(I420Picture.Y));
    assertEquals(15, picture.offset(I420Picture.U));
    assertEquals(21, picture.offset(I420Picture.V));
    assertEquals(5, picture.stride(I420Picture.Y));
    assertEquals(3, picture.stride(I420Picture.V));
    assertSame(data, picture.plane(I420Picture.U), "planes are views, not copies");
    assertArrayEquals(data, picture.toPacked());
  }

  @Test
  void separatePlanesWithPaddingPackBackToTheVisibleSamples() {
    // 4x2 with luma stride 6 and chroma stride 3 from offset 1.
    byte[] y = {1, 2, 3, 4, 9, 9, 5, 6, 7, 8, 9, 9};
    byte[] u = {9, 10, 11, 9};
    byte[] v = {9, 12, 13, 9};
    I420Picture picture =
        I420Picture.ofPlanes(
            4, 2, new byte[][] {y, u, v}, new int[] {6, 3, 3}, new int[] {0, 1, 1});
    assertArrayEquals(new byte[] {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13}, picture.toPacked());
  }

  @Test
  void allocatedPictureIsBlack() {
    byte[] packed = I420Picture.allocate(4, 4).toPacked();
    for (int i = 0; i < 16; i++) {
      assertEquals(16, packed[i]);
    }
    for (int i = 16; i < packed.length; i++) {
      assertEquals((byte) 128, packed[i]);
    }
  }

  @Test
  void everyArgumentIsCheckedAndNamedInTheFailure() {
    byte[] plane = new byte[100];
    assertRefused(NullPointerException.class, "data", () -> I420Picture.fromPacked(null, 4, 4));
    assertRefused(IllegalArgumentException.class, "width",
        () -> I420Picture.fromPacked(plane, 0, 4));
    assertRefused(IllegalArgumentException.class, "height",
        () -> I420Picture.fromPacked(plane, 4, -1));
    assertRefused(IllegalArgumentException.class, "needs 24 bytes, has 23",
        () -> I420Picture.fromPacked(new byte[23], 4, 4));
    assertRefused(IllegalArgumentException.class, "does not fit in one Java array",
        () -> I420Picture.allocate(65536, 65536));
    assertRefused(NullPointerException.class, "plane U",
        () -> I420Picture.ofPlanes(4, 4, plane, 4, null, 2, plane, 2));
    assertRefused(IllegalArgumentException.class, "stride of plane Y must be at least its width 4",
        () -> I420Picture.ofPlanes(4, 4, plane, 3, plane, 2, plane, 2));
    assertRefused(IllegalArgumentException.class, "stride of plane V must be at least its width 3",
        () -> I420Picture.ofPlanes(5, 4, plane, 5, plane, 3, plane, 2));
    assertRefused(IllegalArgumentException.class, "offset of plane U must be 0 or more",
        () -> I420Picture.ofPlanes(4, 4, new byte[][] {plane, plane, plane},
            new int[] {4, 2, 2}, new int[] {0, -1, 0}));
    // Y needs offset + stride * (rows - 1) + width = 10 + 8 * 3 + 4 = 38 bytes.
    assertRefused(IllegalArgumentException.class, "plane Y is too short",
        () -> I420Picture.ofPlanes(4, 4, new byte[][] {new byte[37], plane, plane},
            new int[] {8, 2, 2}, new int[] {10, 0, 0}));
    I420Picture.ofPlanes(4, 4, new byte[][] {new byte[38], plane, plane},
        new int[] {8, 2, 2}, new int[] {10, 0, 0});
    assertRefused(IllegalArgumentException.class, "plane V is too short",
        () -> I420Picture.ofPlanes(4, 4, plane, 4, plane, 2, new byte[3], 2));
    assertRefused(IllegalArgumentException.class, "strides must have 3 entries",
        () -> I420Picture.ofPlanes(4, 4, new byte[][] {plane, plane, plane}, new int[2],
            new int[3]));
    assertRefused(IllegalArgumentException.class, "plane must be 0 (Y), 1 (U) or 2 (V), was 3",
        () -> I420Picture.allocate(2, 2).stride(3));
  }

  @Test
  void stridesAndOffsetsAreCopiedSoLaterChangesCannotBreakThePicture() {
    byte[] plane = new byte[16];
    int[] strides = {4, 2, 2};
    int[] offsets = {0, 0, 0};
    I420Picture picture =
        I420Picture.ofPlanes(4, 4, new byte[][] {plane, plane, plane}, strides, offsets);
    strides[0] = 1000;
    offsets[1] = 1000;
    assertEquals(4, picture.stride(I420Picture.Y));
    assertEquals(0, picture.offset(I420Picture.U));
  }
}
