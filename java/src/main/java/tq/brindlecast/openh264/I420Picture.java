package tq.brindlecast.openh264;

import java.util.Objects;

/**
 * One raw picture in I420 layout, the input of {@link H264Encoder#encode}: a full-resolution luma
 * plane Y and two chroma planes U and V of half the width and half the height (rounded up), each
 * with its own array, stride and offset.
 *
 * <p>The factories check that every plane holds its rows at the given stride and offset, so an
 * {@code I420Picture} can always be encoded safely. The arrays are not copied: the picture is a
 * view of the caller's arrays, and changing them changes the picture.
 *
 * <pre>{@code
 * byte[] packed = new byte[width * height * 3 / 2];  // Y, then U, then V, no padding
 * I420Picture picture = I420Picture.fromPacked(packed, width, height);
 * }</pre>
 */
public final class I420Picture {
  /** Index of the luma plane. */
  public static final int Y = 0;

  /** Index of the blue-difference chroma plane. */
  public static final int U = 1;

  /** Index of the red-difference chroma plane. */
  public static final int V = 2;

  private static final String[] PLANE_NAMES = {"Y", "U", "V"};

  private final int width;
  private final int height;
  private final byte[][] planes;
  private final int[] strides;
  private final int[] offsets;

  private I420Picture(int width, int height, byte[][] planes, int[] strides, int[] offsets) {
    this.width = width;
    this.height = height;
    this.planes = planes;
    this.strides = strides;
    this.offsets = offsets;
  }

  /**
   * Wraps a packed I420 array: Y at its width, then U and V at half the width (rounded up), with
   * no padding between rows or planes.
   *
   * @param data the packed picture; at least {@link #packedSize} bytes
   * @param width the picture width in pixels, 1 or more
   * @param height the picture height in pixels, 1 or more
   * @return the picture, sharing {@code data}
   * @throws IllegalArgumentException if a size is out of range or {@code data} is too short
   * @throws NullPointerException if {@code data} is null
   */
  public static I420Picture fromPacked(byte[] data, int width, int height) {
    Objects.requireNonNull(data, "data must not be null");
    long size = packedSizeOf(width, height);
    if (data.length < size) {
      throw new IllegalArgumentException(
          "data is too short for a packed " + width + "x" + height + " I420 picture: needs "
              + size + " bytes, has " + data.length);
    }
    int chromaWidth = chromaSize(width);
    int ySize = width * height;
    int uvSize = chromaWidth * chromaSize(height);
    return new I420Picture(
        width,
        height,
        new byte[][] {data, data, data},
        new int[] {width, chromaWidth, chromaWidth},
        new int[] {0, ySize, ySize + uvSize});
  }

  /**
   * Makes a black picture backed by a new packed array.
   *
   * @param width the picture width in pixels, 1 or more
   * @param height the picture height in pixels, 1 or more
   * @return the picture
   * @throws IllegalArgumentException if a size is out of range
   */
  public static I420Picture allocate(int width, int height) {
    byte[] data = new byte[(int) packedSizeOf(width, height)];
    int ySize = width * height;
    java.util.Arrays.fill(data, 0, ySize, (byte) 16);
    java.util.Arrays.fill(data, ySize, data.length, (byte) 128);
    return fromPacked(data, width, height);
  }

  /**
   * Wraps three separate planes, each starting at index 0 of its array.
   *
   * @param width the picture width in pixels, 1 or more
   * @param height the picture height in pixels, 1 or more
   * @param y the luma plane
   * @param strideY bytes from one luma row to the next, at least {@code width}
   * @param u the U plane
   * @param strideU bytes from one U row to the next, at least {@code (width + 1) / 2}
   * @param v the V plane
   * @param strideV bytes from one V row to the next, at least {@code (width + 1) / 2}
   * @return the picture, sharing the planes
   * @throws IllegalArgumentException naming the plane whose stride or length does not fit
   * @throws NullPointerException naming a null plane
   */
  public static I420Picture ofPlanes(
      int width, int height, byte[] y, int strideY, byte[] u, int strideU, byte[] v, int strideV) {
    return ofPlanes(
        width, height, new byte[][] {y, u, v}, new int[] {strideY, strideU, strideV}, new int[3]);
  }

  /**
   * Wraps three planes given with their strides and offsets. The arrays of strides and offsets
   * are copied; the planes are not.
   *
   * @param width the picture width in pixels, 1 or more
   * @param height the picture height in pixels, 1 or more
   * @param planes the Y, U and V planes; the same array may hold several planes
   * @param strides the bytes from one row to the next, for Y, U and V
   * @param offsets where each plane's first row starts in its array
   * @return the picture, sharing the planes
   * @throws IllegalArgumentException naming the plane whose stride, offset or length does not fit
   * @throws NullPointerException naming a null argument or plane
   */
  public static I420Picture ofPlanes(
      int width, int height, byte[][] planes, int[] strides, int[] offsets) {
    Objects.requireNonNull(planes, "planes must not be null");
    Objects.requireNonNull(strides, "strides must not be null");
    Objects.requireNonNull(offsets, "offsets must not be null");
    checkSize(width, height);
    requireLength("planes", planes.length);
    requireLength("strides", strides.length);
    requireLength("offsets", offsets.length);
    byte[][] planeCopy = {planes[0], planes[1], planes[2]};
    int[] strideCopy = {strides[0], strides[1], strides[2]};
    int[] offsetCopy = {offsets[0], offsets[1], offsets[2]};
    for (int plane = 0; plane < 3; plane++) {
      checkPlane(plane, width, height, planeCopy[plane], strideCopy[plane], offsetCopy[plane]);
    }
    return new I420Picture(width, height, planeCopy, strideCopy, offsetCopy);
  }

  /**
   * {@return the size of a packed I420 picture: {@code width * height} luma bytes plus two chroma
   * planes of {@code ((width + 1) / 2) * ((height + 1) / 2)} bytes}
   *
   * @param width the picture width in pixels
   * @param height the picture height in pixels
   * @throws IllegalArgumentException if a size is below 1 or the picture would not fit in an array
   */
  public static int packedSize(int width, int height) {
    return (int) packedSizeOf(width, height);
  }

  /** {@return the width in pixels} */
  public int width() {
    return width;
  }

  /** {@return the height in pixels} */
  public int height() {
    return height;
  }

  /** {@return the width of the U and V planes, {@code (width + 1) / 2}} */
  public int chromaWidth() {
    return chromaSize(width);
  }

  /** {@return the height of the U and V planes, {@code (height + 1) / 2}} */
  public int chromaHeight() {
    return chromaSize(height);
  }

  /**
   * {@return the array holding a plane (not a copy)}
   *
   * @param plane {@link #Y}, {@link #U} or {@link #V}
   */
  public byte[] plane(int plane) {
    return planes[checkIndex(plane)];
  }

  /**
   * {@return the stride of a plane in bytes}
   *
   * @param plane {@link #Y}, {@link #U} or {@link #V}
   */
  public int stride(int plane) {
    return strides[checkIndex(plane)];
  }

  /**
   * {@return where a plane's first row starts in its array}
   *
   * @param plane {@link #Y}, {@link #U} or {@link #V}
   */
  public int offset(int plane) {
    return offsets[checkIndex(plane)];
  }

  /** {@return a new packed I420 array of this picture: no padding between rows or planes} */
  public byte[] toPacked() {
    byte[] packed = new byte[packedSize(width, height)];
    int position = 0;
    for (int plane = 0; plane < 3; plane++) {
      int rowWidth = plane == Y ? width : chromaWidth();
      int rows = plane == Y ? height : chromaHeight();
      for (int row = 0; row < rows; row++) {
        System.arraycopy(
            planes[plane], offsets[plane] + row * strides[plane], packed, position, rowWidth);
        position += rowWidth;
      }
    }
    return packed;
  }

  byte[][] planesForNative() {
    return new byte[][] {planes[0], planes[1], planes[2]};
  }

  int[] stridesForNative() {
    return new int[] {strides[0], strides[1], strides[2], 0};
  }

  int[] offsetsForNative() {
    return offsets.clone();
  }

  @Override
  public String toString() {
    return "I420Picture[" + width + "x" + height + "]";
  }

  static int chromaSize(int lumaSize) {
    return (lumaSize + 1) / 2;
  }

  private static long packedSizeOf(int width, int height) {
    checkSize(width, height);
    long size = (long) width * height + 2L * chromaSize(width) * chromaSize(height);
    if (size > Integer.MAX_VALUE - 8) {
      throw new IllegalArgumentException(
          "a " + width + "x" + height + " picture does not fit in one Java array");
    }
    return size;
  }

  private static void checkSize(int width, int height) {
    if (width < 1) {
      throw new IllegalArgumentException("width must be 1 or more, was " + width);
    }
    if (height < 1) {
      throw new IllegalArgumentException("height must be 1 or more, was " + height);
    }
  }

  private static void requireLength(String name, int length) {
    if (length != 3) {
      throw new IllegalArgumentException(
          name + " must have 3 entries (Y, U, V), had " + length);
    }
  }

  private static void checkPlane(int plane, int width, int height, byte[] data, int stride,
      int offset) {
    String name = "plane " + PLANE_NAMES[plane];
    if (data == null) {
      throw new NullPointerException(name + " must not be null");
    }
    int rowWidth = plane == Y ? width : chromaSize(width);
    int rows = plane == Y ? height : chromaSize(height);
    if (stride < rowWidth) {
      throw new IllegalArgumentException(
          "stride of " + name + " must be at least its width " + rowWidth + ", was " + stride);
    }
    if (offset < 0) {
      throw new IllegalArgumentException(
          "offset of " + name + " must be 0 or more, was " + offset);
    }
    if (!planeFits(data.length, offset, stride, rows, rowWidth)) {
      throw new IllegalArgumentException(
          name + " is too short for " + rows + " rows of " + rowWidth + " bytes at stride "
              + stride + " from offset " + offset + ": needs "
              + planeEnd(offset, stride, rows, rowWidth) + " bytes, has " + data.length);
    }
  }

  /**
   * Returns whether a plane of {@code rows} rows of {@code rowWidth} bytes, {@code stride} bytes
   * apart and starting at {@code offset}, lies inside {@code length} bytes with its rows at least
   * as far apart as they are wide. The one rule for pictures handed in and pictures handed out.
   */
  static boolean planeFits(int length, int offset, int stride, int rows, int rowWidth) {
    return stride >= rowWidth && offset >= 0 && planeEnd(offset, stride, rows, rowWidth) <= length;
  }

  /** Returns where such a plane ends: the last row needs only its own bytes. */
  static long planeEnd(int offset, int stride, int rows, int rowWidth) {
    return (long) offset + (long) stride * (rows - 1) + rowWidth;
  }

  private static int checkIndex(int plane) {
    if (plane < 0 || plane > 2) {
      throw new IllegalArgumentException("plane must be 0 (Y), 1 (U) or 2 (V), was " + plane);
    }
    return plane;
  }
}
