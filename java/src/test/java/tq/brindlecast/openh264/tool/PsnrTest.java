package tq.brindlecast.openh264.tool;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.I420Picture;

class PsnrTest {
  @Test
  void errorsArePooledPerPlaneOverAllPictures() {
    Psnr psnr = new Psnr();
    I420Picture source = I420Picture.allocate(4, 4);
    psnr.add(source, I420Picture.allocate(4, 4));
    assertTrue(Double.isInfinite(psnr.combined()), "identical pictures");

    // Second pair: one luma sample off by 16, one U sample off by 4, V identical.
    I420Picture decoded = I420Picture.allocate(4, 4);
    decoded.plane(I420Picture.Y)[5] = 32;
    decoded.plane(I420Picture.U)[decoded.offset(I420Picture.U) + 1] = (byte) 132;
    psnr.add(source, decoded);
    assertEquals(2, psnr.pictures());
    // Y: 256 over 32 samples; U: 16 over 8 samples; all: 272 over 48 samples.
    assertEquals(10 * Math.log10(255.0 * 255.0 / (256.0 / 32)), psnr.plane(0), 1e-9);
    assertEquals(10 * Math.log10(255.0 * 255.0 / (16.0 / 8)), psnr.plane(1), 1e-9);
    assertTrue(Double.isInfinite(psnr.plane(2)));
    assertEquals(10 * Math.log10(255.0 * 255.0 / (272.0 / 48)), psnr.combined(), 1e-9);
  }

  @Test
  void paddingOutsideThePictureIsNotCompared() {
    I420Picture packed = TestPattern.render(6, 4, 3);
    byte[] padded = new byte[10 * 4 + 2 * 5 * 2];
    java.util.Arrays.fill(padded, (byte) 255);
    for (int row = 0; row < 4; row++) {
      System.arraycopy(packed.plane(0), row * 6, padded, row * 10, 6);
    }
    for (int plane = 1; plane < 3; plane++) {
      for (int row = 0; row < 2; row++) {
        System.arraycopy(packed.plane(plane), packed.offset(plane) + row * 3, padded,
            40 + (plane - 1) * 10 + row * 5, 3);
      }
    }
    I420Picture view = I420Picture.ofPlanes(6, 4, new byte[][] {padded, padded, padded},
        new int[] {10, 5, 5}, new int[] {0, 40, 50});
    Psnr psnr = new Psnr();
    psnr.add(packed, view);
    assertTrue(Double.isInfinite(psnr.combined()));
  }

  @Test
  void picturesOfDifferentSizesAreRefused() {
    Psnr psnr = new Psnr();
    assertThrows(IllegalArgumentException.class,
        () -> psnr.add(I420Picture.allocate(4, 4), I420Picture.allocate(4, 6)));
    assertTrue(Double.isNaN(psnr.combined()), "no picture compared yet");
  }
}
