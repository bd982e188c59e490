package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.function.Executable;

/** Checks that a call is refused with an exception that says why. */
public final class Refusals {
  private Refusals() {}

  /** Asserts that {@code call} throws {@code type} with a message containing {@code expected}. */
  public static void assertRefused(
      Class<? extends RuntimeException> type, String expected, Executable call) {
    RuntimeException failure = assertThrows(type, call);
    assertTrue(
        failure.getMessage().contains(expected),
        "message '" + failure.getMessage() + "' should contain '" + expected + "'");
  }
}
