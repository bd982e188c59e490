package tq.brindlecast.openh264;

/**
 * Prepares a picture's planes for {@link Native#OpenH264TQEncoderEncodei420}. The library takes a
 * view of each plane's array, and the JVM makes that view by copying the whole array, so planes
 * that share one array (a packed picture) would have it copied once per plane. Such planes are
 * copied into three arrays of their own instead, kept from picture to picture: the JVM then copies
 * each plane once, after one copy of the picture here, rather than the whole array three times.
 *
 * <p>Not thread-safe: the encoder calls it under its lock.
 */
final class PlaneStaging {
  /** The plane arguments of one native call. */
  record Input(byte[][] planes, int[] strides, int[] offsets) {}

  private final byte[][] buffers = {new byte[0], new byte[0], new byte[0]};

  /** Returns the picture's own planes when each has an array to itself, else staged copies. */
  Input prepare(I420Picture picture) {
    byte[][] planes = picture.planesForNative();
    if (planes[0] != planes[1] && planes[1] != planes[2] && planes[0] != planes[2]) {
      return new Input(planes, picture.stridesForNative(), picture.offsetsForNative());
    }
    int[] strides = new int[4];
    for (int plane = 0; plane < 3; plane++) {
      int rowWidth = plane == I420Picture.Y ? picture.width() : picture.chromaWidth();
      int rows = plane == I420Picture.Y ? picture.height() : picture.chromaHeight();
      if (buffers[plane].length != rowWidth * rows) {
        buffers[plane] = new byte[rowWidth * rows];
      }
      copyRows(picture, plane, rowWidth, rows, buffers[plane]);
      strides[plane] = rowWidth;
    }
    return new Input(buffers.clone(), strides, new int[3]);
  }

  private static void copyRows(
      I420Picture picture, int plane, int rowWidth, int rows, byte[] target) {
    byte[] source = picture.plane(plane);
    int stride = picture.stride(plane);
    int offset = picture.offset(plane);
    if (stride == rowWidth) {
      System.arraycopy(source, offset, target, 0, rowWidth * rows);
      return;
    }
    for (int row = 0; row < rows; row++) {
      System.arraycopy(source, offset + row * stride, target, row * rowWidth, rowWidth);
    }
  }
}
