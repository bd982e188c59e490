package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static tq.brindlecast.openh264.ConfigAssertions.assertNullRefused;
import static tq.brindlecast.openh264.ConfigAssertions.settings;

import java.util.List;
import java.util.Map;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;

class EncoderConfigTest {
  /** OpenH264's GetDefaultParams values, except both frame rates at 30 instead of 60. */
  private static final Map<String, Object> DEFAULTS =
      settings(
          "usageType", 0, "rcMode", 0, "maxFrameRate", 30f, "complexityMode", 0,
          "intraPeriod", 0, "numRefFrame", -1, "parameterStrategy", 1,
          "prefixNalAddingControl", 0, "enableSsei", 0, "simulcastAvc", 0, "paddingFlag", 0,
          "entropyCodingModeFlag", 0, "enableFrameSkip", 1, "minQP", 0, "maxQP", 51,
          "maxNalSize", 0, "enableLongTermReference", 0, "ltrNumber", 0, "ltrMarkPeriod", 30,
          "multipleThreadIdc", 1, "useLoadBalancing", 1, "loopFilterDisableIdc", 0,
          "loopFilterAlphaC0Offset", 0, "loopFilterBetaOffset", 0, "enableDenoise", 0,
          "enableBackgroundDetection", 1, "enableAdaptiveQuant", 1,
          "enableFrameCroppingFlag", 1, "enableSceneChangeDetect", 1, "isLosslessLink", 0,
          "temporalLayers", 1, "spatialLayers", 1);

  /** What {@link #changedEverywhere()} must read back as: upper and lower bounds where possible. */
  private static final Map<String, Object> CHANGED =
      settings(
          "usageType", 1, "rcMode", -1, "maxFrameRate", 12.5f, "complexityMode", 2,
          "intraPeriod", 250, "numRefFrame", 4, "parameterStrategy", 6,
          "prefixNalAddingControl", 1, "enableSsei", 1, "simulcastAvc", 1, "paddingFlag", 1,
          "entropyCodingModeFlag", 1, "enableFrameSkip", 0, "minQP", 51, "maxQP", 0,
          "maxNalSize", 1200, "enableLongTermReference", 1, "ltrNumber", 2, "ltrMarkPeriod", 15,
          "multipleThreadIdc", 65535, "useLoadBalancing", 0, "loopFilterDisableIdc", 2,
          "loopFilterAlphaC0Offset", -6, "loopFilterBetaOffset", 6, "enableDenoise", 1,
          "enableBackgroundDetection", 0, "enableAdaptiveQuant", 0,
          "enableFrameCroppingFlag", 0, "enableSceneChangeDetect", 0, "isLosslessLink", 1,
          "temporalLayers", 4, "spatialLayers", 4);

  /** Reads every getter the native library calls, in the order it calls them. */
  static Map<String, Object> read(EncoderConfig c) {
    return settings(
        "usageType", c.getUsageType(), "rcMode", c.getRcMode(),
        "maxFrameRate", c.getMaxFrameRate(), "complexityMode", c.getComplexityMode(),
        "intraPeriod", c.getIntraPeriod(), "numRefFrame", c.getNumRefFrame(),
        "parameterStrategy", c.getParameterStrategy(),
        "prefixNalAddingControl", c.getPrefixNalAddingControl(),
        "enableSsei", c.getEnableSsei(), "simulcastAvc", c.getSimulcastAvc(),
        "paddingFlag", c.getPaddingFlag(), "entropyCodingModeFlag", c.getEntropyCodingModeFlag(),
        "enableFrameSkip", c.getEnableFrameSkip(), "minQP", c.getMinQP(), "maxQP", c.getMaxQP(),
        "maxNalSize", c.getMaxNalSize(), "enableLongTermReference", c.getEnableLongTermReference(),
        "ltrNumber", c.getLtrNumber(), "ltrMarkPeriod", c.getLtrMarkPeriod(),
        "multipleThreadIdc", c.getMultipleThreadIdc(), "useLoadBalancing", c.getUseLoadBalancing(),
        "loopFilterDisableIdc", c.getLoopFilterDisableIdc(),
        "loopFilterAlphaC0Offset", c.getLoopFilterAlphaC0Offset(),
        "loopFilterBetaOffset", c.getLoopFilterBetaOffset(), "enableDenoise", c.getEnableDenoise(),
        "enableBackgroundDetection", c.getEnableBackgroundDetection(),
        "enableAdaptiveQuant", c.getEnableAdaptiveQuant(),
        "enableFrameCroppingFlag", c.getEnableFrameCroppingFlag(),
        "enableSceneChangeDetect", c.getEnableSceneChangeDetect(),
        "isLosslessLink", c.getIsLosslessLink(), "temporalLayers", c.getTemporalLayers(),
        "spatialLayers", c.getSpatialLayers());
  }

  private static EncoderConfig changedEverywhere() {
    return new EncoderConfig()
        .setUsageType(UsageType.SCREEN_CONTENT_REAL_TIME)
        .setRcMode(RateControlMode.OFF)
        .setMaxFrameRate(12.5f)
        .setComplexityMode(ComplexityMode.HIGH)
        .setIntraPeriod(250)
        .setNumRefFrame(4)
        .setParameterStrategy(ParameterSetStrategy.SPS_PPS_LISTING)
        .setPrefixNalAddingControl(true)
        .setEnableSsei(true)
        .setSimulcastAvc(true)
        .setPaddingFlag(true)
        .setEntropyCodingModeFlag(true)
        .setEnableFrameSkip(false)
        .setMinQP(51)
        .setMaxQP(0)
        .setMaxNalSize(1200)
        .setEnableLongTermReference(true)
        .setLtrNumber(2)
        .setLtrMarkPeriod(15)
        .setMultipleThreadIdc(65535)
        .setUseLoadBalancing(false)
        .setLoopFilterDisableIdc(2)
        .setLoopFilterAlphaC0Offset(-6)
        .setLoopFilterBetaOffset(6)
        .setEnableDenoise(true)
        .setEnableBackgroundDetection(false)
        .setEnableAdaptiveQuant(false)
        .setEnableFrameCroppingFlag(false)
        .setEnableSceneChangeDetect(false)
        .setIsLosslessLink(true)
        .setTemporalLayers(4)
        .setSpatialLayers(4);
  }

  @Test
  void newConfigurationHoldsOpenH264DefaultsAtThirtyFramesPerSecond() {
    assertEquals(DEFAULTS, read(new EncoderConfig()));
  }

  @Test
  void eachSetterReachesItsOwnGetterAsOpenH264Number() {
    CHANGED.forEach((name, value) -> assertNotEquals(DEFAULTS.get(name), value, name));
    assertEquals(CHANGED, read(changedEverywhere()));
  }

  @Test
  void copyCarriesEverySettingAndStaysIndependent() {
    EncoderConfig original = changedEverywhere();
    EncoderConfig copy = original.copy();
    assertEquals(CHANGED, read(copy));

    copy.setMinQP(20).setSpatialLayers(1).setRcMode(RateControlMode.BITRATE);
    assertEquals(CHANGED, read(original));
    original.setMaxQP(51);
    assertEquals(20, copy.getMinQP());
    assertEquals(0, copy.getMaxQP());
  }

  @Test
  void lowestValuesAreAccepted() {
    EncoderConfig low =
        new EncoderConfig()
            .setMaxFrameRate(Float.MIN_VALUE)
            .setIntraPeriod(0)
            .setNumRefFrame(-1)
            .setMaxNalSize(0)
            .setLtrNumber(0)
            .setLtrMarkPeriod(0)
            .setMultipleThreadIdc(0)
            .setLoopFilterDisableIdc(0)
            .setTemporalLayers(1)
            .setSpatialLayers(1);
    assertEquals(
        List.of(Float.MIN_VALUE, 0, 0),
        List.of(low.getMaxFrameRate(), low.getLtrMarkPeriod(), low.getMultipleThreadIdc()));
  }

  @TestFactory
  Stream<DynamicTest> invalidValuesAreRefusedNamingTheSetting() {
    return Stream.of(
        rejects("maxFrameRate", "0", c -> c.setMaxFrameRate(0f)),
        rejects("maxFrameRate", "-1", c -> c.setMaxFrameRate(-1f)),
        rejects("maxFrameRate", "NaN", c -> c.setMaxFrameRate(Float.NaN)),
        rejects("maxFrameRate", "infinity", c -> c.setMaxFrameRate(Float.POSITIVE_INFINITY)),
        rejects("intraPeriod", "-1", c -> c.setIntraPeriod(-1)),
        rejects("numRefFrame", "-2", c -> c.setNumRefFrame(-2)),
        rejects("numRefFrame", "17", c -> c.setNumRefFrame(17)),
        rejects("numRefFrame", "100", c -> c.setNumRefFrame(100)),
        rejects("minQP", "-1", c -> c.setMinQP(-1)),
        rejects("minQP", "52", c -> c.setMinQP(52)),
        rejects("maxQP", "-1", c -> c.setMaxQP(-1)),
        rejects("maxQP", "52", c -> c.setMaxQP(52)),
        rejects("maxNalSize", "-1", c -> c.setMaxNalSize(-1)),
        rejects("ltrNumber", "-1", c -> c.setLtrNumber(-1)),
        rejects("ltrMarkPeriod", "-1", c -> c.setLtrMarkPeriod(-1)),
        rejects("multipleThreadIdc", "-1", c -> c.setMultipleThreadIdc(-1)),
        rejects("multipleThreadIdc", "65536", c -> c.setMultipleThreadIdc(65536)),
        rejects("loopFilterDisableIdc", "-1", c -> c.setLoopFilterDisableIdc(-1)),
        rejects("loopFilterDisableIdc", "3", c -> c.setLoopFilterDisableIdc(3)),
        rejects("loopFilterAlphaC0Offset", "-7", c -> c.setLoopFilterAlphaC0Offset(-7)),
        rejects("loopFilterAlphaC0Offset", "7", c -> c.setLoopFilterAlphaC0Offset(7)),
        rejects("loopFilterBetaOffset", "-7", c -> c.setLoopFilterBetaOffset(-7)),
        rejects("loopFilterBetaOffset", "7", c -> c.setLoopFilterBetaOffset(7)),
        rejects("temporalLayers", "0", c -> c.setTemporalLayers(0)),
        rejects("temporalLayers", "5", c -> c.setTemporalLayers(5)),
        rejects("spatialLayers", "0", c -> c.setSpatialLayers(0)),
        rejects("spatialLayers", "5", c -> c.setSpatialLayers(5)));
  }

  private static DynamicTest rejects(String setting, String value, Consumer<EncoderConfig> change) {
    return ConfigAssertions.rejects(
        setting, value, new EncoderConfig(), EncoderConfigTest::read, change);
  }

  @Test
  void nullConstantsAreRefusedNamingTheSetting() {
    EncoderConfig c = new EncoderConfig();
    assertNullRefused("usageType", () -> c.setUsageType(null));
    assertNullRefused("rcMode", () -> c.setRcMode(null));
    assertNullRefused("complexityMode", () -> c.setComplexityMode(null));
    assertNullRefused("parameterStrategy", () -> c.setParameterStrategy(null));
    assertEquals(DEFAULTS, read(c));
  }

  @Test
  void quantiserBoundsAreComparedOnlyByValidateWhateverTheSetterOrder() {
    EncoderConfig c = new EncoderConfig().setMinQP(45).setMaxQP(30);
    IllegalArgumentException e = assertThrows(IllegalArgumentException.class, c::validate);
    assertEquals("minQP must not be above maxQP, was minQP 45 and maxQP 30", e.getMessage());

    assertSame(c, c.setMaxQP(45).validate());
    assertSame(c, c.setMaxQP(51).setMinQP(51).validate());
  }
}
