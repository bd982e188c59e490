package tq.brindlecast.openh264;

/** H.264 level of a spatial layer: OpenH264's {@code ELevelIdc}. */
public enum Level {
  /** The encoder chooses the level ({@code LEVEL_UNKNOWN}). */
  AUTO(0),
  /** Level 1.0. */
  LEVEL_1_0(10),
  /** Level 1b. */
  LEVEL_1_B(9),
  /** Level 1.1. */
  LEVEL_1_1(11),
  /** Level 1.2. */
  LEVEL_1_2(12),
  /** Level 1.3. */
  LEVEL_1_3(13),
  /** Level 2.0. */
  LEVEL_2_0(20),
  /** Level 2.1. */
  LEVEL_2_1(21),
  /** Level 2.2. */
  LEVEL_2_2(22),
  /** Level 3.0. */
  LEVEL_3_0(30),
  /** Level 3.1. */
  LEVEL_3_1(31),
  /** Level 3.2. */
  LEVEL_3_2(32),
  /** Level 4.0. */
  LEVEL_4_0(40),
  /** Level 4.1. */
  LEVEL_4_1(41),
  /** Level 4.2. */
  LEVEL_4_2(42),
  /** Level 5.0. */
  LEVEL_5_0(50),
  /** Level 5.1. */
  LEVEL_5_1(51),
  /** Level 5.2. */
  LEVEL_5_2(52);

  private final int value;

  Level(int value) {
    this.value = value;
  }

  /** {@return the number OpenH264 uses for this level (ten times the level; 9 for level 1b)} */
  public int value() {
    return value;
  }

  /**
   * {@return the level OpenH264 numbers {@code value}}
   *
   * @param value a number as OpenH264 uses it
   * @throws IllegalArgumentException if no level has that number
   */
  public static Level fromValue(int value) {
    for (Level level : values()) {
      if (level.value == value) {
        return level;
      }
    }
    throw Checks.unknownValue(Level.class, value);
  }
}
