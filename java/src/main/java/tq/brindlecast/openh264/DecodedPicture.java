package tq.brindlecast.openh264;

/**
 * One picture returned by {@link H264Decoder}: the Y, U and V planes back to back in one array, at
 * the decoder's strides. Each row carries the decoder's padding after the picture width, so the
 * rows are {@link #stride(int)} bytes apart; {@link #croppedPlanes()} and {@link #toPackedI420()}
 * return the planes cut to the width.
 *
 * <p>The array is the caller's: the decoder keeps no reference to it. {@link #data()} returns it
 * without copying.
 */
public final class DecodedPicture {
  private final int width;
  private final int height;
  private final int strideY;
  private final int strideUV;
  private final int ySize;
  private final int uvSize;
  private final byte[] data;

  /**
   * Takes the decoder's output and checks that its geometry is consistent.
   *
   * @throws IllegalStateException if the sizes and strides do not describe the array
   */
  DecodedPicture(int width, int height, int strideY, int strideUV, int ySize, int uvSize,
      byte[] data) {
    int chromaWidth = I420Picture.chromaSize(width);
    int chromaRows = I420Picture.chromaSize(height);
    boolean consistent =
        width >= 1
            && height >= 1
            && I420Picture.planeFits(ySize, 0, strideY, height, width)
            && I420Picture.planeFits(uvSize, 0, strideUV, chromaRows, chromaWidth)
            && data != null
            && (long) ySize + 2L * uvSize <= data.length;
    if (!consistent) {
      throw new IllegalStateException(
          "the decoder returned an inconsistent picture: " + width + "x" + height + ", strides "
              + strideY + "/" + strideUV + ", plane sizes " + ySize + "/" + uvSize + ", "
              + (data == null ? "no data" : data.length + " bytes"));
    }
    this.width = width;
    this.height = height;
    this.strideY = strideY;
    this.strideUV = strideUV;
    this.ySize = ySize;
    this.uvSize = uvSize;
    this.data = data;
  }

  /** {@return the width in pixels (the cropped display width)} */
  public int width() {
    return width;
  }

  /** {@return the height in pixels (the cropped display height)} */
  public int height() {
    return height;
  }

  /**
   * {@return the stride of a plane in bytes; U and V share one stride}
   *
   * @param plane {@link I420Picture#Y}, {@link I420Picture#U} or {@link I420Picture#V}
   */
  public int stride(int plane) {
    return checkIndex(plane) == I420Picture.Y ? strideY : strideUV;
  }

  /**
   * {@return the number of bytes a plane takes in {@link #data()}}
   *
   * @param plane {@link I420Picture#Y}, {@link I420Picture#U} or {@link I420Picture#V}
   */
  public int planeSize(int plane) {
    return checkIndex(plane) == I420Picture.Y ? ySize : uvSize;
  }

  /**
   * {@return where a plane starts in {@link #data()}: 0 for Y, then U, then V}
   *
   * @param plane {@link I420Picture#Y}, {@link I420Picture#U} or {@link I420Picture#V}
   */
  public int planeOffset(int plane) {
    checkIndex(plane);
    return plane == I420Picture.Y ? 0 : plane == I420Picture.U ? ySize : ySize + uvSize;
  }

  /** {@return the array holding the three planes at the decoder's strides (not a copy)} */
  public byte[] data() {
    return data;
  }

  /**
   * {@return the three planes, each cut to its width and packed without padding: Y with {@code
   * width * height} bytes, U and V with {@code ((width + 1) / 2) * ((height + 1) / 2)} each}
   */
  public byte[][] croppedPlanes() {
    byte[][] planes = new byte[3][];
    for (int plane = 0; plane < 3; plane++) {
      int rowWidth = plane == I420Picture.Y ? width : I420Picture.chromaSize(width);
      int rows = plane == I420Picture.Y ? height : I420Picture.chromaSize(height);
      int stride = stride(plane);
      int start = planeOffset(plane);
      byte[] packed = new byte[rowWidth * rows];
      for (int row = 0; row < rows; row++) {
        System.arraycopy(data, start + row * stride, packed, row * rowWidth, rowWidth);
      }
      planes[plane] = packed;
    }
    return planes;
  }

  /** {@return the picture as one packed I420 array: the {@link #croppedPlanes()} back to back} */
  public byte[] toPackedI420() {
    byte[][] planes = croppedPlanes();
    byte[] packed = new byte[planes[0].length + planes[1].length + planes[2].length];
    System.arraycopy(planes[0], 0, packed, 0, planes[0].length);
    System.arraycopy(planes[1], 0, packed, planes[0].length, planes[1].length);
    System.arraycopy(planes[2], 0, packed, planes[0].length + planes[1].length, planes[2].length);
    return packed;
  }

  /**
   * {@return an {@link I420Picture} view of the same array, without copying: it can be handed to an
   * encoder or to {@link tq.brindlecast.openh264.image.ImageConversions#toImage(I420Picture)}}
   */
  public I420Picture asI420Picture() {
    return I420Picture.ofPlanes(
        width,
        height,
        new byte[][] {data, data, data},
        new int[] {strideY, strideUV, strideUV},
        new int[] {0, ySize, ySize + uvSize});
  }

  @Override
  public String toString() {
    return "DecodedPicture[" + width + "x" + height + ", strides " + strideY + "/" + strideUV
        + "]";
  }

  private static int checkIndex(int plane) {
    if (plane < 0 || plane > 2) {
      throw new IllegalArgumentException("plane must be 0 (Y), 1 (U) or 2 (V), was " + plane);
    }
    return plane;
  }
}
