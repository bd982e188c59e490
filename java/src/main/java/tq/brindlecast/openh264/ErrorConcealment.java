package tq.brindlecast.openh264;

/** How the decoder conceals damaged pictures: OpenH264's {@code ERROR_CON_IDC}. */
public enum ErrorConcealment {
  /** No concealment: a damaged picture is reported as a failure. */
  DISABLE(0),
  /** Copies the whole previous picture. */
  FRAME_COPY(1),
  /** Copies the damaged slices from the previous picture. */
  SLICE_COPY(2),
  /** Frame copy, also across IDR pictures. */
  FRAME_COPY_CROSS_IDR(3),
  /** Slice copy, also across IDR pictures. */
  SLICE_COPY_CROSS_IDR(4),
  /** Slice copy across IDR pictures, freezing on a change of resolution. */
  SLICE_COPY_CROSS_IDR_FREEZE_RES_CHANGE(5),
  /** Slice copy with motion vectors, also across IDR pictures. */
  SLICE_MV_COPY_CROSS_IDR(6),
  /** Slice copy with motion vectors across IDR pictures, freezing on a change of resolution. */
  SLICE_MV_COPY_CROSS_IDR_FREEZE_RES_CHANGE(7);

  private final int value;

  ErrorConcealment(int value) {
    this.value = value;
  }

  /** {@return the number OpenH264 uses for this method} */
  public int value() {
    return value;
  }

  /**
   * {@return the method OpenH264 numbers {@code value}}
   *
   * @param value a number as OpenH264 uses it
   * @throws IllegalArgumentException if no method has that number
   */
  public static ErrorConcealment fromValue(int value) {
    for (ErrorConcealment method : values()) {
      if (method.value == value) {
        return method;
      }
    }
    throw Checks.unknownValue(ErrorConcealment.class, value);
  }
}
