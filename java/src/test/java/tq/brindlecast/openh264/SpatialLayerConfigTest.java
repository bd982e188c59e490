package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static tq.brindlecast.openh264.ConfigAssertions.assertNullRefused;
import static tq.brindlecast.openh264.ConfigAssertions.settings;

import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.function.Consumer;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;

class SpatialLayerConfigTest {
  /** OpenH264's GetDefaultParams layer values (2.x), except the frame rate at 30 instead of 60. */
  private static final Map<String, Object> DEFAULTS =
      settings(
          "frameRate", 30f, "profileIdc", 0, "levelIdc", 0, "dLayerQp", 26, "sliceMode", 0,
          "sliceNum", 0, "sliceSizeConstraint", 1500, "videoSignalTypePresent", 0,
          "videoFormat", (char) 5, "fullRange", 0, "colorDescriptionPresent", 0,
          "colorPrimaries", (char) 2, "transferCharacteristics", (char) 2, "colorMatrix", (char) 2,
          "aspectRatioPresent", 0, "aspectRatio", 0, "aspectRatioExtWidth", 0,
          "aspectRatioExtHeight", 0, "sliceMBNum", zeros());

  private static final int[] SLICE_SIZES = IntStream.rangeClosed(1, 35).toArray();

  /** What {@link #changedEverywhere()} must read back as. */
  private static final Map<String, Object> CHANGED =
      settings(
          "frameRate", 7.5f, "profileIdc", 100, "levelIdc", 9, "dLayerQp", 51, "sliceMode", 2,
          "sliceNum", 4, "sliceSizeConstraint", 800, "videoSignalTypePresent", 1,
          "videoFormat", (char) 7, "fullRange", 1, "colorDescriptionPresent", 1,
          "colorPrimaries", (char) 1, "transferCharacteristics", (char) 255,
          "colorMatrix", (char) 0,
          "aspectRatioPresent", 1, "aspectRatio", 255, "aspectRatioExtWidth", 65535,
          "aspectRatioExtHeight", 11, "sliceMBNum", boxed(SLICE_SIZES));

  private static List<Integer> zeros() {
    return boxed(new int[35]);
  }

  private static List<Integer> boxed(int[] values) {
    return Arrays.stream(values).boxed().toList();
  }

  /** Reads every getter the native library calls, in the order it calls them. */
  static Map<String, Object> read(SpatialLayerConfig c) {
    return settings(
        "frameRate", c.getFrameRate(), "profileIdc", c.getProfileIdc(),
        "levelIdc", c.getLevelIdc(), "dLayerQp", c.getDLayerQp(), "sliceMode", c.getSliceMode(),
        "sliceNum", c.getSliceNum(), "sliceSizeConstraint", c.getSliceSizeConstraint(),
        "videoSignalTypePresent", c.getVideoSignalTypePresent(),
        "videoFormat", c.getVideoFormat(), "fullRange", c.getFullRange(),
        "colorDescriptionPresent", c.getColorDescriptionPresent(),
        "colorPrimaries", c.getColorPrimaries(),
        "transferCharacteristics", c.getTransferCharacteristics(),
        "colorMatrix", c.getColorMatrix(), "aspectRatioPresent", c.getAspectRatioPresent(),
        "aspectRatio", c.getAspectRatio(), "aspectRatioExtWidth", c.getAspectRatioExtWidth(),
        "aspectRatioExtHeight", c.getAspectRatioExtHeight(),
        "sliceMBNum", boxed(c.getSliceMBNum()));
  }

  private static SpatialLayerConfig changedEverywhere() {
    return new SpatialLayerConfig()
        .setFrameRate(7.5f)
        .setProfileIdc(Profile.HIGH)
        .setLevelIdc(Level.LEVEL_1_B)
        .setDLayerQp(51)
        .setSliceMode(SliceMode.RASTER)
        .setSliceNum(4)
        .setSliceMBNum(SLICE_SIZES)
        .setSliceSizeConstraint(800)
        .setVideoSignalTypePresent(true)
        .setVideoFormat(7)
        .setFullRange(true)
        .setColorDescriptionPresent(true)
        .setColorPrimaries(1)
        .setTransferCharacteristics(255)
        .setColorMatrix(0)
        .setAspectRatioPresent(true)
        .setAspectRatio(AspectRatio.EXTENDED_SAR)
        .setAspectRatioExtWidth(65535)
        .setAspectRatioExtHeight(11);
  }

  @Test
  void newLayerHoldsOpenH264DefaultsAtThirtyFramesPerSecond() {
    assertEquals(DEFAULTS, read(new SpatialLayerConfig()));
  }

  @Test
  void eachSetterReachesItsOwnGetterAsOpenH264Number() {
    CHANGED.forEach((name, value) -> assertNotEquals(DEFAULTS.get(name), value, name));
    assertEquals(CHANGED, read(changedEverywhere()));
  }

  @Test
  void sliceSizesAreCopiedInAndOut() {
    int[] given = SLICE_SIZES.clone();
    SpatialLayerConfig c = new SpatialLayerConfig().setSliceMBNum(given);
    given[0] = 99;
    int[] handedOut = c.getSliceMBNum();
    assertArrayEquals(SLICE_SIZES, handedOut);
    handedOut[1] = 99;
    assertArrayEquals(SLICE_SIZES, c.getSliceMBNum());
  }

  @Test
  void copyCarriesEverySettingAndOwnsItsSliceSizes() {
    SpatialLayerConfig original = changedEverywhere();
    SpatialLayerConfig copy = original.copy();
    assertEquals(CHANGED, read(copy));

    copy.setSliceMBNum(new int[35]).setFrameRate(60f).setAspectRatio(AspectRatio.SAR_1_1);
    assertEquals(CHANGED, read(original));
    original.setSliceMBNum(new int[35]);
    assertEquals(zeros(), boxed(copy.getSliceMBNum()));
    assertArrayEquals(new int[35], original.getSliceMBNum());
  }

  @TestFactory
  Stream<DynamicTest> invalidValuesAreRefusedNamingTheSetting() {
    int[] negativeEntry = new int[35];
    negativeEntry[34] = -1;
    return Stream.of(
        rejects("frameRate", "0", c -> c.setFrameRate(0f)),
        rejects("frameRate", "-30", c -> c.setFrameRate(-30f)),
        rejects("frameRate", "NaN", c -> c.setFrameRate(Float.NaN)),
        rejects("frameRate", "infinity", c -> c.setFrameRate(Float.POSITIVE_INFINITY)),
        rejects("dLayerQp", "-1", c -> c.setDLayerQp(-1)),
        rejects("dLayerQp", "52", c -> c.setDLayerQp(52)),
        rejects("sliceNum", "-1", c -> c.setSliceNum(-1)),
        rejects("sliceMBNum", "34 entries", c -> c.setSliceMBNum(new int[34])),
        rejects("sliceMBNum", "36 entries", c -> c.setSliceMBNum(new int[36])),
        rejects("sliceMBNum[34]", "-1", c -> c.setSliceMBNum(negativeEntry)),
        rejects("sliceSizeConstraint", "-1", c -> c.setSliceSizeConstraint(-1)),
        rejects("videoFormat", "-1", c -> c.setVideoFormat(-1)),
        rejects("videoFormat", "8", c -> c.setVideoFormat(8)),
        rejects("colorPrimaries", "256", c -> c.setColorPrimaries(256)),
        rejects("colorPrimaries", "-1", c -> c.setColorPrimaries(-1)),
        rejects("transferCharacteristics", "0x105", c -> c.setTransferCharacteristics(0x105)),
        rejects("colorMatrix", "256", c -> c.setColorMatrix(256)),
        rejects("aspectRatioExtWidth", "-1", c -> c.setAspectRatioExtWidth(-1)),
        rejects("aspectRatioExtWidth", "65536", c -> c.setAspectRatioExtWidth(65536)),
        rejects("aspectRatioExtHeight", "65536", c -> c.setAspectRatioExtHeight(65536)));
  }

  private static DynamicTest rejects(
      String setting, String value, Consumer<SpatialLayerConfig> change) {
    return ConfigAssertions.rejects(
        setting, value, new SpatialLayerConfig(), SpatialLayerConfigTest::read, change);
  }

  @Test
  void nullsAreRefusedNamingTheSetting() {
    SpatialLayerConfig c = new SpatialLayerConfig();
    assertNullRefused("profileIdc", () -> c.setProfileIdc(null));
    assertNullRefused("levelIdc", () -> c.setLevelIdc(null));
    assertNullRefused("sliceMode", () -> c.setSliceMode(null));
    assertNullRefused("sliceMBNum", () -> c.setSliceMBNum(null));
    assertNullRefused("aspectRatio", () -> c.setAspectRatio(null));
    assertEquals(DEFAULTS, read(c));
  }
}
