package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.function.IntFunction;
import java.util.function.ToIntFunction;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.TestFactory;

/**
 * Checks every constant type against the enumeration it mirrors in OpenH264's installed
 * codec_app_def.h (directory from the system property {@code openh264.include}, by default
 * /usr/include/wels), and its lookup by number.
 */
class CodecConstantsTest {
  private static final Path HEADER =
      Path.of(System.getProperty("openh264.include", "/usr/include/wels"), "codec_app_def.h");

  /** One Java constant type, the header enumeration it mirrors and its names there, in order. */
  private record Mirror<E extends Enum<E>>(
      String headerEnum,
      String headerNames,
      Set<String> notMirrored,
      E[] constants,
      ToIntFunction<E> value,
      IntFunction<E> fromValue) {}

  private static final List<Mirror<?>> MIRRORS =
      List.of(
          new Mirror<>("EUsageType",
              "CAMERA_VIDEO_REAL_TIME SCREEN_CONTENT_REAL_TIME CAMERA_VIDEO_NON_REAL_TIME"
                  + " SCREEN_CONTENT_NON_REAL_TIME INPUT_CONTENT_TYPE_ALL",
              Set.of(), UsageType.values(), UsageType::value, UsageType::fromValue),
          new Mirror<>("RC_MODES",
              "RC_QUALITY_MODE RC_BITRATE_MODE RC_BUFFERBASED_MODE RC_TIMESTAMP_MODE"
                  + " RC_BITRATE_MODE_POST_SKIP RC_OFF_MODE",
              Set.of(), RateControlMode.values(), RateControlMode::value,
              RateControlMode::fromValue),
          new Mirror<>("ECOMPLEXITY_MODE", "LOW_COMPLEXITY MEDIUM_COMPLEXITY HIGH_COMPLEXITY",
              Set.of(), ComplexityMode.values(), ComplexityMode::value, ComplexityMode::fromValue),
          new Mirror<>("EParameterSetStrategy",
              "CONSTANT_ID INCREASING_ID SPS_LISTING SPS_LISTING_AND_PPS_INCREASING"
                  + " SPS_PPS_LISTING",
              Set.of(), ParameterSetStrategy.values(), ParameterSetStrategy::value,
              ParameterSetStrategy::fromValue),
          new Mirror<>("EProfileIdc",
              "PRO_UNKNOWN PRO_BASELINE PRO_MAIN PRO_EXTENDED PRO_HIGH PRO_HIGH10 PRO_HIGH422"
                  + " PRO_HIGH444 PRO_CAVLC444 PRO_SCALABLE_BASELINE PRO_SCALABLE_HIGH",
              Set.of(), Profile.values(), Profile::value, Profile::fromValue),
          new Mirror<>("ELevelIdc",
              "LEVEL_UNKNOWN LEVEL_1_0 LEVEL_1_B LEVEL_1_1 LEVEL_1_2 LEVEL_1_3 LEVEL_2_0"
                  + " LEVEL_2_1 LEVEL_2_2 LEVEL_3_0 LEVEL_3_1 LEVEL_3_2 LEVEL_4_0 LEVEL_4_1"
                  + " LEVEL_4_2 LEVEL_5_0 LEVEL_5_1 LEVEL_5_2",
              Set.of(), Level.values(), Level::value, Level::fromValue),
          new Mirror<>("SliceModeEnum",
              "SM_SINGLE_SLICE SM_FIXEDSLCNUM_SLICE SM_RASTER_SLICE SM_SIZELIMITED_SLICE",
              Set.of("SM_RESERVED"), SliceMode.values(), SliceMode::value, SliceMode::fromValue),
          new Mirror<>("ESampleAspectRatio",
              "ASP_UNSPECIFIED ASP_1x1 ASP_12x11 ASP_10x11 ASP_16x11 ASP_40x33 ASP_24x11"
                  + " ASP_20x11 ASP_32x11 ASP_80x33 ASP_18x11 ASP_15x11 ASP_64x33 ASP_160x99"
                  + " ASP_EXT_SAR",
              Set.of(), AspectRatio.values(), AspectRatio::value, AspectRatio::fromValue),
          new Mirror<>("ERROR_CON_IDC",
              "ERROR_CON_DISABLE ERROR_CON_FRAME_COPY ERROR_CON_SLICE_COPY"
                  + " ERROR_CON_FRAME_COPY_CROSS_IDR ERROR_CON_SLICE_COPY_CROSS_IDR"
                  + " ERROR_CON_SLICE_COPY_CROSS_IDR_FREEZE_RES_CHANGE"
                  + " ERROR_CON_SLICE_MV_COPY_CROSS_IDR"
                  + " ERROR_CON_SLICE_MV_COPY_CROSS_IDR_FREEZE_RES_CHANGE",
              Set.of(), ErrorConcealment.values(), ErrorConcealment::value,
              ErrorConcealment::fromValue),
          new Mirror<>("VIDEO_BITSTREAM_TYPE", "VIDEO_BITSTREAM_AVC VIDEO_BITSTREAM_SVC",
              Set.of("VIDEO_BITSTREAM_DEFAULT"), VideoBitstreamType.values(),
              VideoBitstreamType::value, VideoBitstreamType::fromValue));

  @TestFactory
  Stream<DynamicTest> eachConstantHasTheNumberOfItsOpenH264Namesake() {
    return MIRRORS.stream()
        .map(m -> DynamicTest.dynamicTest(m.headerEnum(), () -> assertMirrors(m)));
  }

  private static <E extends Enum<E>> void assertMirrors(Mirror<E> m) throws IOException {
    assumeTrue(Files.isReadable(HEADER), "OpenH264 headers not found at " + HEADER);
    Map<String, Integer> header = headerEnum(m.headerEnum());
    List<String> names = List.of(m.headerNames().split(" "));
    Set<String> expectedNames = new TreeSet<>(header.keySet());
    expectedNames.removeAll(m.notMirrored());
    assertEquals(expectedNames, new TreeSet<>(names), "constants OpenH264 defines");
    assertEquals(names.size(), m.constants().length, "one Java constant per OpenH264 constant");
    for (int i = 0; i < names.size(); i++) {
      E constant = m.constants()[i];
      assertEquals(header.get(names.get(i)), m.value().applyAsInt(constant), constant.name());
    }
  }

  @TestFactory
  Stream<DynamicTest> fromValueFindsEveryConstantAndRefusesOtherNumbers() {
    return MIRRORS.stream()
        .map(m -> DynamicTest.dynamicTest(m.headerEnum(), () -> assertLookup(m)));
  }

  private static <E extends Enum<E>> void assertLookup(Mirror<E> m) {
    TreeSet<Integer> known = new TreeSet<>();
    for (E constant : m.constants()) {
      int value = m.value().applyAsInt(constant);
      assertTrue(known.add(value), "number used twice: " + value);
      assertSame(constant, m.fromValue().apply(value));
    }
    String typeName = m.constants()[0].getDeclaringClass().getSimpleName();
    List<Integer> unknown = new ArrayList<>(List.of(Integer.MIN_VALUE, Integer.MAX_VALUE));
    for (int v = known.first() - 1; v <= known.last() + 1; v++) {
      unknown.add(v);
    }
    unknown.removeAll(known);
    for (int v : unknown) {
      IllegalArgumentException e =
          assertThrows(IllegalArgumentException.class, () -> m.fromValue().apply(v));
      assertEquals("no " + typeName + " has the value " + v, e.getMessage());
    }
  }

  /** Parses one {@code typedef enum { ... } name;} of the header into names and numbers. */
  private static Map<String, Integer> headerEnum(String name) throws IOException {
    String text =
        Files.readString(HEADER).replaceAll("(?s)/\\*.*?\\*/", "").replaceAll("//[^\n]*", "");
    Matcher m =
        Pattern.compile("typedef\\s+enum\\s*\\{([^}]*)\\}\\s*" + name + "\\s*;").matcher(text);
    assertTrue(m.find(), name + " not found in " + HEADER);
    Map<String, Integer> values = new LinkedHashMap<>();
    int next = 0;
    for (String entry : m.group(1).split(",")) {
      if (entry.isBlank()) {
        continue;
      }
      String[] parts = entry.split("=");
      String expression = parts.length > 1 ? parts[1].strip() : null;
      int value = next;
      if (expression != null) {
        value =
            values.containsKey(expression) ? values.get(expression) : Integer.decode(expression);
      }
      values.put(parts[0].strip(), value);
      next = value + 1;
    }
    return values;
  }
}
