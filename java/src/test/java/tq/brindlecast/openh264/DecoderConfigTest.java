package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static tq.brindlecast.openh264.ConfigAssertions.assertNullRefused;
import static tq.brindlecast.openh264.ConfigAssertions.settings;

import java.util.Map;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;

class DecoderConfigTest {
  /** Decodes every stream: all layers, no concealment, SVC (OpenH264's default) stream type. */
  private static final Map<String, Object> DEFAULTS =
      settings(
          "fileNameRestructed", null, "cpuLoad", 0, "targetDqLayer", (char) 255,
          "ecActiveIdc", 0, "parseOnly", 0, "videoSize", 8, "videoBsType", 1);

  private static final Map<String, Object> CHANGED =
      settings(
          "fileNameRestructed", "", "cpuLoad", 80, "targetDqLayer", (char) 0,
          "ecActiveIdc", 7, "parseOnly", 1, "videoSize", 0, "videoBsType", 0);

  /** Reads every getter the native library calls, in the order it calls them. */
  static Map<String, Object> read(DecoderConfig c) {
    return settings(
        "fileNameRestructed", c.getFileNameRestructed(), "cpuLoad", c.getCpuLoad(),
        "targetDqLayer", c.getTargetDqLayer(), "ecActiveIdc", c.getEcActiveIdc(),
        "parseOnly", c.getParseOnly(), "videoSize", c.getVideoSize(),
        "videoBsType", c.getVideoBsType());
  }

  private static DecoderConfig changedEverywhere() {
    return new DecoderConfig()
        .setFileNameRestructed("")
        .setCpuLoad(80)
        .setTargetDqLayer(0)
        .setEcActiveIdc(ErrorConcealment.SLICE_MV_COPY_CROSS_IDR_FREEZE_RES_CHANGE)
        .setParseOnly(true)
        .setVideoSize(0)
        .setVideoBsType(VideoBitstreamType.AVC);
  }

  @Test
  void newConfigurationDecodesEveryStream() {
    assertEquals(DEFAULTS, read(new DecoderConfig()));
  }

  @Test
  void eachSetterReachesItsOwnGetterAndCopiesCarryEverySetting() {
    CHANGED.forEach((name, value) -> assertNotEquals(DEFAULTS.get(name), value, name));
    DecoderConfig original = changedEverywhere();
    assertEquals(CHANGED, read(original));

    DecoderConfig copy = original.copy();
    assertEquals(CHANGED, read(copy));
    copy.setFileNameRestructed(null).setTargetDqLayer(255).setEcActiveIdc(ErrorConcealment.DISABLE);
    assertEquals(CHANGED, read(original));
    original.setCpuLoad(1);
    assertEquals(80, copy.getCpuLoad());
  }

  @TestFactory
  Stream<DynamicTest> invalidValuesAreRefusedNamingTheSetting() {
    return Stream.of(
        rejects("cpuLoad", "-1", c -> c.setCpuLoad(-1)),
        rejects("targetDqLayer", "-1", c -> c.setTargetDqLayer(-1)),
        rejects("targetDqLayer", "256", c -> c.setTargetDqLayer(256)),
        rejects("videoSize", "-1", c -> c.setVideoSize(-1)));
  }

  private static DynamicTest rejects(String setting, String value, Consumer<DecoderConfig> change) {
    return ConfigAssertions.rejects(
        setting, value, new DecoderConfig(), DecoderConfigTest::read, change);
  }

  @Test
  void nullConstantsAreRefusedButNoFileNameIsAllowed() {
    DecoderConfig c = new DecoderConfig();
    assertNullRefused("ecActiveIdc", () -> c.setEcActiveIdc(null));
    assertNullRefused("videoBsType", () -> c.setVideoBsType(null));
    c.setFileNameRestructed("recon.yuv").setFileNameRestructed(null);
    assertEquals(DEFAULTS, read(c));
  }
}
