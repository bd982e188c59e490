package tq.brindlecast.openh264;

/** How much work the encoder spends per picture: OpenH264's {@code ECOMPLEXITY_MODE}. */
public enum ComplexityMode {
  /** Fastest, lowest quality (OpenH264's default). */
  LOW(0),
  /** Medium speed and quality. */
  MEDIUM(1),
  /** Slowest, highest quality. */
  HIGH(2);

  private final int value;

  ComplexityMode(int value) {
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
  public static ComplexityMode fromValue(int value) {
    for (ComplexityMode mode : values()) {
      if (mode.value == value) {
        return mode;
      }
    }
    throw Checks.unknownValue(ComplexityMode.class, value);
  }
}
