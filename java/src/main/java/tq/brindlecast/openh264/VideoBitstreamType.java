package tq.brindlecast.openh264;

/** Kind of stream the decoder expects: OpenH264's {@code VIDEO_BITSTREAM_TYPE}. */
public enum VideoBitstreamType {
  /** Plain H.264 (AVC). */
  AVC(0),
  /** Scalable H.264 (SVC), which also covers AVC; OpenH264's default. */
  SVC(1);

  private final int value;

  VideoBitstreamType(int value) {
    this.value = value;
  }

  /** {@return the number OpenH264 uses for this type} */
  public int value() {
    return value;
  }

  /**
   * {@return the type OpenH264 numbers {@code value}}
   *
   * @param value a number as OpenH264 uses it
   * @throws IllegalArgumentException if no type has that number
   */
  public static VideoBitstreamType fromValue(int value) {
    for (VideoBitstreamType type : values()) {
      if (type.value == value) {
        return type;
      }
    }
    throw Checks.unknownValue(VideoBitstreamType.class, value);
  }
}
