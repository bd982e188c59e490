package tq.brindlecast.openh264.image;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.awt.Rectangle;
import java.awt.geom.AffineTransform;
import java.awt.image.AffineTransformOp;
import java.awt.image.BufferedImage;
import java.util.Random;
import org.junit.jupiter.api.Test;

class ImageOrientationTest {
  @Test
  void everyTurnAndMirrorMovesThePixelsAsTheJdksOwnTransformDoes() {
    Random random = new Random(3);
    int[] types = {BufferedImage.TYPE_INT_RGB, BufferedImage.TYPE_INT_ARGB,
        BufferedImage.TYPE_3BYTE_BGR, BufferedImage.TYPE_BYTE_GRAY,
        BufferedImage.TYPE_BYTE_INDEXED};
    for (int type : types) {
      BufferedImage whole = new BufferedImage(13, 9, type);
      for (int y = 0; y < whole.getHeight(); y++) {
        for (int x = 0; x < whole.getWidth(); x++) {
          whole.setRGB(x, y, random.nextInt());
        }
      }
      // A sub-image shares its parent's pixels with an offset and a longer stride.
      for (BufferedImage image : new BufferedImage[] {whole, whole.getSubimage(2, 1, 7, 6)}) {
        for (int degrees = -90; degrees <= 360; degrees += 90) {
          for (boolean mirrored : new boolean[] {false, true}) {
            String row = "type " + type + ", " + image.getWidth() + "x" + image.getHeight() + ", "
                + degrees + "°" + (mirrored ? " mirrored" : "");
            BufferedImage turned = ImageOrientation.apply(image, degrees, mirrored);
            assertEquals(type, turned.getType(), row);
            assertPixels(jdkTurn(image, degrees, mirrored), turned, row);
            if (degrees % 360 == 0 && !mirrored) {
              assertSame(image, turned, row);
            }
          }
        }
      }
    }
    assertThrows(IllegalArgumentException.class,
        () -> ImageOrientation.apply(new BufferedImage(2, 2, BufferedImage.TYPE_INT_RGB), 45,
            false));
  }

  /** The JDK's nearest-neighbour affine transform: mirror, turn, then back to the origin. */
  private static BufferedImage jdkTurn(BufferedImage image, int degrees, boolean mirrored) {
    AffineTransform transform = AffineTransform.getQuadrantRotateInstance(degrees / 90);
    if (mirrored) {
      transform.concatenate(AffineTransform.getScaleInstance(-1, 1));
    }
    var bounds = transform.createTransformedShape(
        new Rectangle(image.getWidth(), image.getHeight())).getBounds();
    AffineTransform placed = AffineTransform.getTranslateInstance(-bounds.x, -bounds.y);
    placed.concatenate(transform);
    BufferedImage out = new BufferedImage(bounds.width, bounds.height, image.getType());
    new AffineTransformOp(placed, AffineTransformOp.TYPE_NEAREST_NEIGHBOR).filter(image, out);
    return out;
  }

  private static void assertPixels(BufferedImage expected, BufferedImage actual, String row) {
    assertEquals(expected.getWidth() + "x" + expected.getHeight(),
        actual.getWidth() + "x" + actual.getHeight(), row);
    for (int y = 0; y < expected.getHeight(); y++) {
      for (int x = 0; x < expected.getWidth(); x++) {
        assertEquals(expected.getRGB(x, y), actual.getRGB(x, y), row + ": pixel " + x + "," + y);
      }
    }
  }
}
