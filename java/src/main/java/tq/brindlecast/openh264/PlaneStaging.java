package tq.brindlecast.openh264;

/**
 * Prepares a picture's planes for {@link Native#OpenH264TQEncoderEncodei420}. The library takes a
 * view of each plane's array, and the JVM makes that view by copying the whole array, so planes
 * that share one array (a packed picture) would have it copied once per plane. The first plane
 * of each array goes to the library in place; a later plane of the same array is copied into an
 * array of its own, kept from picture to picture. For a packed picture that is the two chroma
 * planes: the JVM then copies the picture once and the chroma planes once more, rather than the
 * whole picture three times.
 *
 * <p>Not thread-safe: the encoder calls it under its lock.
 */
final class PlaneStaging {
  /** The plane arguments of one native call. */
  record Input(byte[][] planes, int[] strides, int[] offsets) {}

  private final byte[][] buffers = {new byte[0], new byte[0], new byte[0]};

  /** Returns the picture's planes, with those that repeat an earlier plane's array staged. */
  Input prepare(I420Picture picture) {
    byte[][] arrays = picture.planesForNative();
    byte[][] planes = arrays.clone();
    int[] strides = picture.stridesForNative();
    int[] offsets = picture.offsetsForNative();
    for (int plane = 1; plane < 3; plane++) {
      if (sharesAnEarlierArray(arrays, plane)) {
        planes[plane] = stage(picture, plane);
        strides[plane] = picture.chromaWidth();
        offsets[plane] = 0;
      }
    }
    return new Input(planes, strides, offsets);
  }

  private static boolean sharesAnEarlierArray(byte[][] arrays, int plane) {
    for (int earlier = 0; earlier < plane; earlier++) {
      if (arrays[earlier] == arrays[plane]) {
        return true;
      }
    }
    return false;
  }

  /** Copies a chroma plane, cut to its width, into this plane's buffer. */
  private byte[] stage(I420Picture picture, int plane) {
    int rowWidth = picture.chromaWidth();
    int rows = picture.chromaHeight();
    if (buffers[plane].length != rowWidth * rows) {
      buffers[plane] = new byte[rowWidth * rows];
    }
    byte[] source = picture.plane(plane);
    int stride = picture.stride(plane);
    int offset = picture.offset(plane);
    if (stride == rowWidth) {
      System.arraycopy(source, offset, buffers[plane], 0, rowWidth * rows);
    } else {
      for (int row = 0; row < rows; row++) {
        System.arraycopy(source, offset + row * stride, buffers[plane], row * rowWidth, rowWidth);
      }
    }
    return buffers[plane];
  }
}
