package tq.brindlecast.openh264.image;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferByte;
import java.awt.image.DataBufferInt;
import java.awt.image.PixelInterleavedSampleModel;
import java.awt.image.SinglePixelPackedSampleModel;
import java.awt.image.WritableRaster;

/**
 * Where a {@link BufferedImage} keeps its pixels, for an image that keeps them plainly in one of
 * the standard RGB layouts ({@code TYPE_INT_RGB} to {@code TYPE_4BYTE_ABGR_PRE}, not a sub-image):
 * what the library's native conversions, and {@link
 * tq.brindlecast.openh264.H264Encoder#encodeRgb}, read directly.
 *
 * @param pixels the raster's array, {@code int[]} or {@code byte[]} as the type says
 * @param offset the element of the first pixel
 * @param scanlineStride the elements from one row to the next
 * @param imageType the {@code BufferedImage} type
 * @param width the width in pixels
 * @param height the height in pixels
 */
public record ImageRaster(
    Object pixels, int offset, int scanlineStride, int imageType, int width, int height) {

  /**
   * {@return where the image keeps its pixels, or null when it does not keep them plainly in a
   * standard RGB layout} The array is the image's own, not a copy.
   *
   * @param image the image
   * @throws NullPointerException if {@code image} is null
   */
  public static ImageRaster of(BufferedImage image) {
    WritableRaster raster = image.getRaster();
    if (raster.getParent() != null || raster.getSampleModelTranslateX() != 0
        || raster.getSampleModelTranslateY() != 0 || raster.getDataBuffer().getNumBanks() != 1) {
      return null;
    }
    int type = image.getType();
    if (raster.getDataBuffer() instanceof DataBufferInt ints
        && raster.getSampleModel() instanceof SinglePixelPackedSampleModel model
        && type >= BufferedImage.TYPE_INT_RGB && type <= BufferedImage.TYPE_INT_BGR) {
      return new ImageRaster(ints.getData(), ints.getOffset(), model.getScanlineStride(), type,
          image.getWidth(), image.getHeight());
    }
    if (raster.getDataBuffer() instanceof DataBufferByte bytes
        && raster.getSampleModel() instanceof PixelInterleavedSampleModel model
        && type >= BufferedImage.TYPE_3BYTE_BGR && type <= BufferedImage.TYPE_4BYTE_ABGR_PRE) {
      return new ImageRaster(bytes.getData(), bytes.getOffset(), model.getScanlineStride(), type,
          image.getWidth(), image.getHeight());
    }
    return null;
  }
}
