package tq.brindlecast.openh264;

/**
 * Sample aspect ratio written into the stream's video usability information: OpenH264's {@code
 * ESampleAspectRatio}, the aspect_ratio_idc of H.264.
 */
public enum AspectRatio {
  /** Not specified. */
  UNSPECIFIED(0),
  /** Square samples, 1:1. */
  SAR_1_1(1),
  /** 12:11. */
  SAR_12_11(2),
  /** 10:11. */
  SAR_10_11(3),
  /** 16:11. */
  SAR_16_11(4),
  /** 40:33. */
  SAR_40_33(5),
  /** 24:11. */
  SAR_24_11(6),
  /** 20:11. */
  SAR_20_11(7),
  /** 32:11. */
  SAR_32_11(8),
  /** 80:33. */
  SAR_80_33(9),
  /** 18:11. */
  SAR_18_11(10),
  /** 15:11. */
  SAR_15_11(11),
  /** 64:33. */
  SAR_64_33(12),
  /** 160:99. */
  SAR_160_99(13),
  /** The ratio given by the extended width and height of the layer configuration. */
  EXTENDED_SAR(255);

  private final int value;

  AspectRatio(int value) {
    this.value = value;
  }

  /** {@return the aspect_ratio_idc number of this ratio} */
  public int value() {
    return value;
  }

  /**
   * {@return the ratio whose aspect_ratio_idc is {@code value}}
   *
   * @param value an aspect_ratio_idc
   * @throws IllegalArgumentException if no ratio has that number
   */
  public static AspectRatio fromValue(int value) {
    for (AspectRatio ratio : values()) {
      if (ratio.value == value) {
        return ratio;
      }
    }
    throw Checks.unknownValue(AspectRatio.class, value);
  }
}
