package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.LinkedHashMap;
import java.util.Map;
import java.util.function.Consumer;
import java.util.function.Function;
import org.junit.jupiter.api.DynamicTest;

/** Assertions shared by the configuration tests. */
final class ConfigAssertions {
  private ConfigAssertions() {}

  /** Builds an ordered map from alternating setting names and values. */
  static Map<String, Object> settings(Object... namesAndValues) {
    Map<String, Object> map = new LinkedHashMap<>();
    for (int i = 0; i < namesAndValues.length; i += 2) {
      map.put((String) namesAndValues[i], namesAndValues[i + 1]);
    }
    return map;
  }

  /**
   * A test that applies {@code change} to a default configuration and expects an
   * IllegalArgumentException naming {@code setting}, with the configuration left as it was.
   */
  static <C> DynamicTest rejects(
      String setting,
      String description,
      C fresh,
      Function<C, Map<String, Object>> read,
      Consumer<C> change) {
    return DynamicTest.dynamicTest(
        setting + " " + description,
        () -> {
          Map<String, Object> before = read.apply(fresh);
          IllegalArgumentException e =
              assertThrows(IllegalArgumentException.class, () -> change.accept(fresh));
          assertTrue(
              e.getMessage().startsWith(setting + " must "), "message was: " + e.getMessage());
          assertTrue(e.getMessage().contains(", was"), "message was: " + e.getMessage());
          assertEquals(before, read.apply(fresh), "a refused value must change nothing");
        });
  }

  /** Expects a NullPointerException whose message names {@code setting}. */
  static void assertNullRefused(String setting, Runnable call) {
    NullPointerException e = assertThrows(NullPointerException.class, call::run);
    assertEquals(setting + " must not be null", e.getMessage());
  }
}
