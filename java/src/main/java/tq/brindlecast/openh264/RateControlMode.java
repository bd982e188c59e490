package tq.brindlecast.openh264;

/** How the encoder controls the bit rate: OpenH264's {@code RC_MODES}. */
public enum RateControlMode {
  /** Quality first (OpenH264's default). */
  QUALITY(0),
  /** Keeps to the target bit rate. */
  BITRATE(1),
  /** No bit-rate target; quality follows the buffer status only. */
  BUFFER_BASED(2),
  /** Bit-rate control driven by the picture time stamps. */
  TIMESTAMP(3),
  /** An experimental mode; OpenH264 2.3 refuses to initialise an encoder with it. */
  BITRATE_POST_SKIP(4),
  /** Rate control off. */
  OFF(-1);

  private final int value;

  RateControlMode(int value) {
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
  public static RateControlMode fromValue(int value) {
    for (RateControlMode mode : values()) {
      if (mode.value == value) {
        return mode;
      }
    }
    throw Checks.unknownValue(RateControlMode.class, value);
  }
}
