package tq.brindlecast.openh264;

/** How a picture of a spatial layer is cut into slices: OpenH264's {@code SliceModeEnum}. */
public enum SliceMode {
  /** One slice per picture (OpenH264's default). */
  SINGLE_SLICE(0),
  /** A fixed number of slices, given by the slice number (0: one per CPU core). */
  FIXED_SLICE_NUMBER(1),
  /** Slices of the macroblock counts given by the slice MB numbers (0: one macroblock row each). */
  RASTER(2),
  /** Slices closed when they reach the slice size constraint in bytes. */
  SIZE_LIMITED(3);

  private final int value;

  SliceMode(int value) {
    this.value = value;
  }

  /** {@return the number OpenH264 uses for this mode} */
  public int value() {
    return value;
  }

  /**
   * {@return the mode OpenH264 numbers {@code value}}
   *
   * @param value a number as OpenH264 uses it
   * @throws IllegalArgumentException if no mode has that number
   */
  public static SliceMode fromValue(int value) {
    for (SliceMode mode : values()) {
      if (mode.value == value) {
        return mode;
      }
    }
    throw Checks.unknownValue(SliceMode.class, value);
  }
}
