package tq.brindlecast.openh264;

/** H.264 profile of a spatial layer: OpenH264's {@code EProfileIdc}. */
public enum Profile {
  /** The encoder chooses the profile ({@code PRO_UNKNOWN}). */
  AUTO(0),
  /** Baseline profile. */
  BASELINE(66),
  /** Main profile. */
  MAIN(77),
  /** Extended profile. */
  EXTENDED(88),
  /** High profile. */
  HIGH(100),
  /** High 10 profile. */
  HIGH10(110),
  /** High 4:2:2 profile. */
  HIGH422(122),
  /** High 4:4:4 profile, the number 144 that later H.264 editions withdrew. */
  HIGH444(144),
  /** OpenH264's {@code PRO_CAVLC444}: profile_idc 244, which H.264 calls High 4:4:4 Predictive. */
  CAVLC444(244),
  /** Scalable Baseline profile (SVC). */
  SCALABLE_BASELINE(83),
  /** Scalable High profile (SVC). */
  SCALABLE_HIGH(86);

  private final int value;

  Profile(int value) {
    this.value = value;
  }

  /** {@return the profile_idc number of this profile} */
  public int value() {
    return value;
  }

  /**
   * {@return the profile whose profile_idc is {@code value}}
   *
   * @param value a number as OpenH264 uses it
   * @throws IllegalArgumentException if no profile has that number
   */
  public static Profile fromValue(int value) {
    for (Profile profile : values()) {
      if (profile.value == value) {
        return profile;
      }
    }
    throw Checks.unknownValue(Profile.class, value);
  }
}
