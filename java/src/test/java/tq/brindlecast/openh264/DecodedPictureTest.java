package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.Test;

class DecodedPictureTest {
  /** A 4x2 picture at strides 8 and 4: each row carries padding marked 99. */
  private static DecodedPicture padded() {
    byte[] data = new byte[16 + 4 + 4];
    java.util.Arrays.fill(data, (byte) 99);
    for (int row = 0; row < 2; row++) {
      for (int x = 0; x < 4; x++) {
        data[row * 8 + x] = (byte) (10 * row + x);
      }
    }
    data[16] = 50;
    data[17] = 51;
    data[20] = 60;
    data[21] = 61;
    return new DecodedPicture(4, 2, 8, 4, 16, 4, data);
  }

  @Test
  void planesAreCroppedToTheWidthAndPacked() {
    DecodedPicture picture = padded();
    byte[][] planes = picture.croppedPlanes();
    assertArrayEquals(new byte[] {0, 1, 2, 3, 10, 11, 12, 13}, planes[0]);
    assertArrayEquals(new byte[] {50, 51}, planes[1]);
    assertArrayEquals(new byte[] {60, 61}, planes[2]);
    assertArrayEquals(
        new byte[] {0, 1, 2, 3, 10, 11, 12, 13, 50, 51, 60, 61}, picture.toPackedI420());
  }

  @Test
  void geometryIsReportedPerPlaneAndTheViewSharesTheArray() {
    DecodedPicture picture = padded();
    assertEquals(8, picture.stride(I420Picture.Y));
    assertEquals(4, picture.stride(I420Picture.U));
    assertEquals(4, picture.stride(I420Picture.V));
    assertEquals(16, picture.planeSize(I420Picture.Y));
    assertEquals(4, picture.planeSize(I420Picture.V));
    assertEquals(16, picture.planeOffset(I420Picture.U));
    assertEquals(20, picture.planeOffset(I420Picture.V));
    I420Picture view = picture.asI420Picture();
    assertEquals(picture.data(), view.plane(I420Picture.V));
    assertArrayEquals(picture.toPackedI420(), view.toPacked());
  }

  @Test
  void inconsistentGeometryFromTheDecoderIsRefused() {
    assertThrows(IllegalStateException.class,
        () -> new DecodedPicture(4, 2, 8, 4, 16, 4, new byte[23]));
    assertThrows(IllegalStateException.class,
        () -> new DecodedPicture(4, 2, 3, 4, 16, 4, new byte[24]));
    assertThrows(IllegalStateException.class,
        () -> new DecodedPicture(4, 4, 8, 4, 16, 4, new byte[24]));
    assertThrows(IllegalStateException.class, () -> new DecodedPicture(4, 2, 8, 4, 16, 4, null));
  }
}
