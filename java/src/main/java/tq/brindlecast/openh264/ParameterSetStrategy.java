package tq.brindlecast.openh264;

/** How SPS and PPS ids are chosen: OpenH264's {@code EParameterSetStrategy}. */
public enum ParameterSetStrategy {
  /** The same SPS and PPS id throughout. */
  CONSTANT_ID(0),
  /** The SPS and PPS ids increase at each IDR picture (OpenH264's default). */
  INCREASING_ID(1),
  /** Reuses an SPS from the list of those already sent where possible. */
  SPS_LISTING(2),
  /** SPS listing with PPS ids increasing. */
  SPS_LISTING_AND_PPS_INCREASING(3),
  /** Both SPS and PPS listing. */
  SPS_PPS_LISTING(6);

  private final int value;

  ParameterSetStrategy(int value) {
    this.value = value;
  }

  /** {@return the number OpenH264 uses for this strategy} */
  public int value() {
    return value;
  }

  /**
   * {@return the strategy OpenH264 numbers {@code value}}
   *
   * @param value a number as OpenH264 uses it
   * @throws IllegalArgumentException if no strategy has that number
   */
  public static ParameterSetStrategy fromValue(int value) {
    for (ParameterSetStrategy strategy : values()) {
      if (strategy.value == value) {
        return strategy;
      }
    }
    throw Checks.unknownValue(ParameterSetStrategy.class, value);
  }
}
