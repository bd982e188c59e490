package tq.brindlecast.openh264.video;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import java.awt.image.SinglePixelPackedSampleModel;
import java.awt.image.WritableRaster;
import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.RgbPixels;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.image.YuvColour;

/**
 * The image a decoded picture is written into: the caller's when it is a plain {@code
 * TYPE_INT_RGB} image of the picture's size, else a new one. The decoder converts straight into
 * its raster; a picture of another size comes back as planes and gets an image of its own.
 */
final class ImageTarget {
  private static final int[] NO_PIXELS = new int[0];
  private final BufferedImage image; // null: none of the expected size to write into
  private final RgbPixels pixels;

  private ImageTarget(BufferedImage image, RgbPixels pixels) {
    this.image = image;
    this.pixels = pixels;
  }

  /**
   * A target for a picture of {@code width} x {@code height} (0 x 0 while unknown): {@code reuse}
   * when it is a plain image of that size, else a new one.
   */
  static ImageTarget of(BufferedImage reuse, int width, int height, YuvColour colour) {
    boolean sizeFits = width == 0 || (reuse != null && reuse.getWidth() == width
        && reuse.getHeight() == height);
    BufferedImage image = reuse != null && sizeFits && isPlainRgb(reuse) ? reuse
        : width > 0 && height > 0 ? new BufferedImage(width, height, BufferedImage.TYPE_INT_RGB)
        : null;
    int[] raster =
        image == null ? NO_PIXELS : ((DataBufferInt) image.getRaster().getDataBuffer()).getData();
    int stride = image == null ? 1 : image.getWidth();
    return new ImageTarget(image,
        new RgbPixels(raster, 0, stride, colour.matrix().code(), colour.fullRange()));
  }

  RgbPixels pixels() {
    return pixels;
  }

  /** The image a decoding result gave, or null when it gave no picture. */
  BufferedImage image(DecodeResult result, YuvColour colour) {
    if (result.status() == DecodeResult.Status.PICTURE) {
      return ImageConversions.toImage(result.picture(), colour);
    }
    if (result.status() != DecodeResult.Status.PICTURE_IN_PIXELS) {
      return null;
    }
    if (pixels.width() == image.getWidth() && pixels.height() == image.getHeight()) {
      return image;
    }
    // A smaller picture than the image: its rows, at the image's stride, go to one of its size.
    BufferedImage fitted =
        new BufferedImage(pixels.width(), pixels.height(), BufferedImage.TYPE_INT_RGB);
    int[] to = ((DataBufferInt) fitted.getRaster().getDataBuffer()).getData();
    for (int row = 0; row < pixels.height(); row++) {
      System.arraycopy(pixels.pixels(), row * image.getWidth(), to, row * pixels.width(),
          pixels.width());
    }
    return fitted;
  }

  /** True for a TYPE_INT_RGB image whose raster is exactly its pixels, row after row. */
  private static boolean isPlainRgb(BufferedImage image) {
    if (image.getType() != BufferedImage.TYPE_INT_RGB) {
      return false;
    }
    WritableRaster raster = image.getRaster();
    return raster.getParent() == null && raster.getSampleModelTranslateX() == 0
        && raster.getSampleModelTranslateY() == 0
        && raster.getSampleModel() instanceof SinglePixelPackedSampleModel model
        && model.getScanlineStride() == image.getWidth()
        && raster.getDataBuffer().getNumBanks() == 1
        && raster.getDataBuffer().getOffset() == 0;
  }
}
