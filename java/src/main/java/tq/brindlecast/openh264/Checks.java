package tq.brindlecast.openh264;

/**
 * Argument checks shared by the configuration classes. Every failure message starts with the name
 * of the setting, states the rule and shows the rejected value.
 */
final class Checks {
  private Checks() {}

  /** Returns {@code value} when it lies in {@code min..max}, both inclusive. */
  static int inRange(String setting, int value, int min, int max) {
    if (value < min || value > max) {
      throw new IllegalArgumentException(
          setting + " must be between " + min + " and " + max + ", was " + value);
    }
    return value;
  }

  /** Returns {@code value} when it is {@code min} or more. */
  static int atLeast(String setting, int value, int min) {
    if (value < min) {
      throw new IllegalArgumentException(setting + " must be " + min + " or more, was " + value);
    }
    return value;
  }

  /** Returns {@code value} when it is a finite number above 0 (NaN and infinities are refused). */
  static float positiveFinite(String setting, float value) {
    if (!(value > 0f) || Float.isInfinite(value)) {
      throw new IllegalArgumentException(setting + " must be above 0 and finite, was " + value);
    }
    return value;
  }

  /** Returns {@code value} when it is not null. */
  static <T> T notNull(String setting, T value) {
    if (value == null) {
      throw new NullPointerException(setting + " must not be null");
    }
    return value;
  }

  /** The failure for a number that no constant of an enumeration stands for. */
  static IllegalArgumentException unknownValue(Class<?> type, int value) {
    return new IllegalArgumentException(
        "no " + type.getSimpleName() + " has the value " + value);
  }
}
