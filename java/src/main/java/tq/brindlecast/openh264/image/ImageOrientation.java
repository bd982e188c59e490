package tq.brindlecast.openh264.image;

import java.awt.image.BufferedImage;
import java.awt.image.ColorModel;
import java.awt.image.DataBufferInt;
import java.awt.image.IndexColorModel;
import java.awt.image.Raster;
import java.awt.image.SinglePixelPackedSampleModel;
import java.awt.image.WritableRaster;
import java.util.Objects;

/**
 * Turns images by quarter turns and mirrors them, as players show a video whose track says so.
 * The pixels are moved, never resampled: the result holds exactly the image's pixels, in the same
 * colour model.
 */
public final class ImageOrientation {
  private ImageOrientation() {}

  /**
   * {@return a new image: {@code image} mirrored left to right if asked, then turned clockwise;
   * {@code image} itself when there is nothing to do}
   *
   * @param image the image
   * @param clockwiseDegrees 0, 90, 180 or 270 (or the same plus or minus whole turns)
   * @param mirrored whether to mirror left to right before turning
   * @throws IllegalArgumentException if the rotation is not a multiple of 90 degrees
   */
  public static BufferedImage apply(BufferedImage image, int clockwiseDegrees, boolean mirrored) {
    Objects.requireNonNull(image, "image must not be null");
    if (clockwiseDegrees % 90 != 0) {
      throw new IllegalArgumentException(
          "a rotation must be a multiple of 90 degrees, was " + clockwiseDegrees);
    }
    int quarters = Math.floorMod(clockwiseDegrees, 360) / 90;
    if (quarters == 0 && !mirrored) {
      return image;
    }
    int width = image.getWidth();
    int height = image.getHeight();
    boolean swap = quarters % 2 == 1;
    int outWidth = swap ? height : width;
    int outHeight = swap ? width : height;
    BufferedImage turned = sameKind(image, outWidth, outHeight);
    WritableRaster raster = turned.getRaster();
    Mapping mapping = new Mapping(width, height, quarters, mirrored);
    if (!copyPackedInts(image.getRaster(), raster, mapping)) {
      copyPixels(image.getRaster(), raster, mapping);
    }
    return turned;
  }

  /** An empty image of the same type, palette or colour model, in another size. */
  private static BufferedImage sameKind(BufferedImage image, int width, int height) {
    ColorModel model = image.getColorModel();
    return switch (image.getType()) {
      case BufferedImage.TYPE_CUSTOM -> new BufferedImage(model,
          model.createCompatibleWritableRaster(width, height), image.isAlphaPremultiplied(),
          null);
      case BufferedImage.TYPE_BYTE_BINARY, BufferedImage.TYPE_BYTE_INDEXED ->
          new BufferedImage(width, height, image.getType(), (IndexColorModel) model);
      default -> new BufferedImage(width, height, image.getType());
    };
  }

  /** Where source pixel (x, y) lands: mirrored first, then turned clockwise. */
  private record Mapping(int width, int height, int quarters, boolean mirrored) {
    int x(int x, int y) {
      int mx = mirrored ? width - 1 - x : x;
      return switch (quarters) {
        case 1 -> height - 1 - y;
        case 2 -> width - 1 - mx;
        case 3 -> y;
        default -> mx;
      };
    }

    int y(int x, int y) {
      int mx = mirrored ? width - 1 - x : x;
      return switch (quarters) {
        case 1 -> mx;
        case 2 -> height - 1 - y;
        case 3 -> width - 1 - mx;
        default -> y;
      };
    }
  }

  /** The common case, an image of packed int pixels held whole: moves the ints directly. */
  private static boolean copyPackedInts(Raster from, WritableRaster to, Mapping mapping) {
    if (!(from.getDataBuffer() instanceof DataBufferInt source)
        || !(to.getDataBuffer() instanceof DataBufferInt target)
        || !(from.getSampleModel() instanceof SinglePixelPackedSampleModel fromModel)
        || !(to.getSampleModel() instanceof SinglePixelPackedSampleModel toModel)
        || from.getParent() != null || source.getNumBanks() != 1) {
      return false;
    }
    int[] in = source.getData();
    int[] out = target.getData();
    int inStride = fromModel.getScanlineStride();
    int outStride = toModel.getScanlineStride();
    int inOffset = source.getOffset();
    int outOffset = target.getOffset();
    for (int y = 0; y < mapping.height(); y++) {
      int row = inOffset + y * inStride;
      for (int x = 0; x < mapping.width(); x++) {
        out[outOffset + mapping.y(x, y) * outStride + mapping.x(x, y)] = in[row + x];
      }
    }
    return true;
  }

  private static void copyPixels(Raster from, WritableRaster to, Mapping mapping) {
    Object pixel = null;
    for (int y = 0; y < mapping.height(); y++) {
      for (int x = 0; x < mapping.width(); x++) {
        pixel = from.getDataElements(from.getMinX() + x, from.getMinY() + y, pixel);
        to.setDataElements(mapping.x(x, y), mapping.y(x, y), pixel);
      }
    }
  }
}
