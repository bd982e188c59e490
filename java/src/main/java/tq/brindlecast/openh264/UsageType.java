package tq.brindlecast.openh264;

/** What the encoder is tuned for: OpenH264's {@code EUsageType}. */
public enum UsageType {
  /** Camera video for real-time communication (OpenH264's default). */
  CAMERA_VIDEO_REAL_TIME(0),
  /** Screen content for real-time communication; allows one spatial layer only. */
  SCREEN_CONTENT_REAL_TIME(1),
  /** Camera video, not real time. OpenH264 2.3 refuses to initialise an encoder with it. */
  CAMERA_VIDEO_NON_REAL_TIME(2),
  /** Screen content, not real time. OpenH264 2.3 refuses to initialise an encoder with it. */
  SCREEN_CONTENT_NON_REAL_TIME(3),
  /** Any input content. OpenH264 2.3 refuses to initialise an encoder with it. */
  INPUT_CONTENT_TYPE_ALL(4);

  private final int value;

  UsageType(int value) {
    this.value = value;
  }

  /** {@return the number OpenH264 uses for this usage type} */
  public int value() {
    return value;
  }

  /**
   * {@return the usage type OpenH264 numbers {@code value}}
   *
   * @param value a number as OpenH264 uses it
   * @throws IllegalArgumentException if no usage type has that number
   */
  public static UsageType fromValue(int value) {
    for (UsageType type : values()) {
      if (type.value == value) {
        return type;
      }
    }
    throw Checks.unknownValue(UsageType.class, value);
  }
}
