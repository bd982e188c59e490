package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.TestFactory;

/**
 * Configuration objects whose getters return extreme values: negative sizes, huge bit rates,
 * every enumerated setting out of range, slice arrays of every length. Nothing crashes; OpenH264
 * either takes the value or the call fails visibly, and a good configuration works again after.
 */
@Tag("release-matrix")
class HostileConfigTest {
  private static final int W = 96;
  private static final int H = 64;
  private static final int[] INTS = {
    Integer.MIN_VALUE, -1, 0, 1, 2, 3, 5, 7, 36, 100, 65535, Integer.MAX_VALUE
  };
  private static final float[] FLOATS = {
    Float.NaN, Float.NEGATIVE_INFINITY, -1f, 0f, 1e-30f, 1e30f, Float.POSITIVE_INFINITY
  };
  private static final char[] CHARS = {0, 0xFF, 0x100, 0xFFFF};
  private static final String[] STRINGS = {
    null, "", "x".repeat(10_000), "/no-such-directory/recon.yuv", "\u0000\ud800\uffff"
  };

  private static byte[] idr;
  private static byte[] idrPicture;

  @BeforeAll
  static void makeKeyFrame() {
    try (H264Encoder encoder = new H264Encoder(new EncoderConfig())) {
      idr = encoder.encode(H264EncoderTest.picture(W, H, 0)).data();
    }
    try (DecoderRun run = new DecoderRun()) {
      idrPicture = run.decode(idr);
    }
    assertNotNull(idrPicture);
  }

  /** One getter that answers with a hostile value; every other getter keeps its default. */
  record Hostile(String getter, Object value) {
    private boolean answers() {
      // Frames: answers, the typed helper, the getter that asks.
      String asking =
          StackWalker.getInstance()
              .walk(frames -> frames.skip(2).findFirst().orElseThrow().getMethodName());
      return getter.equals(asking);
    }

    int i(int normal) {
      return answers() ? (Integer) value : normal;
    }

    float f(float normal) {
      return answers() ? (Float) value : normal;
    }

    char c(char normal) {
      return answers() ? (Character) value : normal;
    }

    int[] a(int[] normal) {
      return answers() ? (int[]) value : normal;
    }

    String s(String normal) {
      return answers() ? (String) value : normal;
    }

    @Override
    public String toString() {
      String shown =
          value instanceof int[] array ? "int[" + array.length + "] " + Arrays.toString(array)
              : value instanceof String text && text.length() > 40 ? "String of " + text.length()
              : String.valueOf(value);
      return getter + " -> " + shown;
    }
  }

  // One line per getter.
  static final class HostileEncoderConfig extends EncoderConfig {
    final Hostile h;

    HostileEncoderConfig(Hostile h) {
      this.h = h;
    }

    @Override public int getUsageType() { return h.i(super.getUsageType()); }
    @Override public int getRcMode() { return h.i(super.getRcMode()); }
    @Override public float getMaxFrameRate() { return h.f(super.getMaxFrameRate()); }
    @Override public int getComplexityMode() { return h.i(super.getComplexityMode()); }
    @Override public int getIntraPeriod() { return h.i(super.getIntraPeriod()); }
    @Override public int getNumRefFrame() { return h.i(super.getNumRefFrame()); }
    @Override public int getParameterStrategy() { return h.i(super.getParameterStrategy()); }
    @Override public int getPrefixNalAddingControl() {
      return h.i(super.getPrefixNalAddingControl());
    }
    @Override public int getEnableSsei() { return h.i(super.getEnableSsei()); }
    @Override public int getSimulcastAvc() { return h.i(super.getSimulcastAvc()); }
    @Override public int getPaddingFlag() { return h.i(super.getPaddingFlag()); }
    @Override public int getEntropyCodingModeFlag() {
      return h.i(super.getEntropyCodingModeFlag());
    }
    @Override public int getEnableFrameSkip() { return h.i(super.getEnableFrameSkip()); }
    @Override public int getMinQP() { return h.i(super.getMinQP()); }
    @Override public int getMaxQP() { return h.i(super.getMaxQP()); }
    @Override public int getMaxNalSize() { return h.i(super.getMaxNalSize()); }
    @Override public int getEnableLongTermReference() {
      return h.i(super.getEnableLongTermReference());
    }
    @Override public int getLtrNumber() { return h.i(super.getLtrNumber()); }
    @Override public int getLtrMarkPeriod() { return h.i(super.getLtrMarkPeriod()); }
    @Override public int getMultipleThreadIdc() { return h.i(super.getMultipleThreadIdc()); }
    @Override public int getUseLoadBalancing() { return h.i(super.getUseLoadBalancing()); }
    @Override public int getLoopFilterDisableIdc() { return h.i(super.getLoopFilterDisableIdc()); }
    @Override public int getLoopFilterAlphaC0Offset() {
      return h.i(super.getLoopFilterAlphaC0Offset());
    }
    @Override public int getLoopFilterBetaOffset() { return h.i(super.getLoopFilterBetaOffset()); }
    @Override public int getEnableDenoise() { return h.i(super.getEnableDenoise()); }
    @Override public int getEnableBackgroundDetection() {
      return h.i(super.getEnableBackgroundDetection());
    }
    @Override public int getEnableAdaptiveQuant() { return h.i(super.getEnableAdaptiveQuant()); }
    @Override public int getEnableFrameCroppingFlag() {
      return h.i(super.getEnableFrameCroppingFlag());
    }
    @Override public int getEnableSceneChangeDetect() {
      return h.i(super.getEnableSceneChangeDetect());
    }
    @Override public int getIsLosslessLink() { return h.i(super.getIsLosslessLink()); }
    @Override public int getTemporalLayers() { return h.i(super.getTemporalLayers()); }
    @Override public int getSpatialLayers() { return h.i(super.getSpatialLayers()); }
  }

  static final class HostileLayerConfig extends SpatialLayerConfig {
    final Hostile h;

    HostileLayerConfig(Hostile h) {
      this.h = h;
    }

    @Override public float getFrameRate() { return h.f(super.getFrameRate()); }
    @Override public int getProfileIdc() { return h.i(super.getProfileIdc()); }
    @Override public int getLevelIdc() { return h.i(super.getLevelIdc()); }
    @Override public int getDLayerQp() { return h.i(super.getDLayerQp()); }
    @Override public int getSliceMode() { return h.i(super.getSliceMode()); }
    @Override public int getSliceNum() { return h.i(super.getSliceNum()); }
    @Override public int[] getSliceMBNum() { return h.a(super.getSliceMBNum()); }
    @Override public int getSliceSizeConstraint() { return h.i(super.getSliceSizeConstraint()); }
    @Override public int getVideoSignalTypePresent() {
      return h.i(super.getVideoSignalTypePresent());
    }
    @Override public char getVideoFormat() { return h.c(super.getVideoFormat()); }
    @Override public int getFullRange() { return h.i(super.getFullRange()); }
    @Override public int getColorDescriptionPresent() {
      return h.i(super.getColorDescriptionPresent());
    }
    @Override public char getColorPrimaries() { return h.c(super.getColorPrimaries()); }
    @Override public char getTransferCharacteristics() {
      return h.c(super.getTransferCharacteristics());
    }
    @Override public char getColorMatrix() { return h.c(super.getColorMatrix()); }
    @Override public int getAspectRatioPresent() { return h.i(super.getAspectRatioPresent()); }
    @Override public int getAspectRatio() { return h.i(super.getAspectRatio()); }
    @Override public int getAspectRatioExtWidth() { return h.i(super.getAspectRatioExtWidth()); }
    @Override public int getAspectRatioExtHeight() { return h.i(super.getAspectRatioExtHeight()); }
  }

  static final class HostileDecoderConfig extends DecoderConfig {
    final Hostile h;

    HostileDecoderConfig(Hostile h) {
      this.h = h;
    }

    @Override public String getFileNameRestructed() { return h.s(super.getFileNameRestructed()); }
    @Override public int getCpuLoad() { return h.i(super.getCpuLoad()); }
    @Override public char getTargetDqLayer() { return h.c(super.getTargetDqLayer()); }
    @Override public int getEcActiveIdc() { return h.i(super.getEcActiveIdc()); }
    @Override public int getParseOnly() { return h.i(super.getParseOnly()); }
    @Override public int getVideoSize() { return h.i(super.getVideoSize()); }
    @Override public int getVideoBsType() { return h.i(super.getVideoBsType()); }
  }

  /** The getters the library reads, each with the hostile values of its type. */
  private static List<List<Hostile>> sweep(Class<?> config, Class<?> hostile) {
    List<List<Hostile>> getters = new ArrayList<>();
    for (Method getter : config.getDeclaredMethods()) {
      if (!Modifier.isPublic(getter.getModifiers()) || !getter.getName().startsWith("get")) {
        continue;
      }
      String name = getter.getName();
      assertDoesNotThrow(() -> hostile.getDeclaredMethod(name),
          hostile.getSimpleName() + " overrides " + name);
      List<Object> values = new ArrayList<>();
      Class<?> type = getter.getReturnType();
      if (type == int.class) {
        Arrays.stream(INTS).forEach(values::add);
      } else if (type == float.class) {
        for (float value : FLOATS) {
          values.add(value);
        }
      } else if (type == char.class) {
        for (char value : CHARS) {
          values.add(value);
        }
      } else if (type == String.class) {
        values.addAll(Arrays.asList(STRINGS));
      } else if (type == int[].class) {
        values.add(null);
        for (int length = 0; length <= 40; length++) {
          for (int fill : new int[] {1, W / 16, -1, Integer.MAX_VALUE}) {
            int[] array = new int[length];
            Arrays.fill(array, fill);
            values.add(array);
          }
        }
      } else {
        throw new AssertionError("no hostile values for " + getter);
      }
      getters.add(values.stream().map(value -> new Hostile(name, value)).toList());
    }
    return getters;
  }

  private static Stream<DynamicTest> tests(
      Class<?> config, Class<?> hostile, Consumer<Hostile> check) {
    return sweep(config, hostile).stream()
        .map(values -> DynamicTest.dynamicTest(values.get(0).getter(),
            () -> values.forEach(check)));
  }

  private static byte[] encodePicture(long encoder, int frame) {
    byte[] packed = TestPictures.movingPattern(W, H, frame);
    return Native.OpenH264TQEncoderEncodei420(encoder, W, H, TestPictures.planes(packed, W, H),
        TestPictures.strides(W), new int[3], 0, new int[1]);
  }

  private static void configure(long encoder, EncoderConfig config, SpatialLayerConfig layer) {
    assertEquals(0, Native.OpenH264TQEncoderSetConfig(encoder, config));
    for (int slot = 0; slot < EncoderConfig.MAX_SPATIAL_LAYERS; slot++) {
      assertEquals(0, Native.OpenH264TQEncoderSetSpatialLayerConfig(encoder, layer, slot));
    }
  }

  /** A picture OpenH264 made must be a stream its own decoder takes. */
  private static void assertDecodable(byte[] encoded, Hostile hostile) {
    try (DecoderRun run = new DecoderRun()) {
      byte[] picture = run.decode(encoded);
      assertTrue(picture != null || run.drain().size() == 1, hostile + ": the picture decodes");
    }
  }

  /**
   * Builds an encoder from the configuration, and applies the same configuration to an encoder
   * that already runs: each next picture either comes out or the failure is reported.
   */
  private static void encodeWith(EncoderConfig config, SpatialLayerConfig layer, Hostile hostile) {
    long built = Native.OpenH264TQEncoderCreate(null, null, null, null);
    long running = Native.OpenH264TQEncoderCreate(null, null, null, null);
    try {
      RecordingListener building = new RecordingListener();
      building.around(() -> {
        configure(built, config, layer);
        byte[] out = encodePicture(built, 0);
        assertTrue(out != null || !building.errors.isEmpty(), hostile + ": built silently failed");
        if (out != null) {
          assertDecodable(out, hostile);
        }
      });
      RecordingListener applying = new RecordingListener();
      applying.around(() -> {
        configure(running, new EncoderConfig(), new SpatialLayerConfig());
        assertNotNull(encodePicture(running, 0));
        configure(running, config, layer);
        Native.OpenH264TQEncoderApplyConfigChanges(running, 0);
        assertTrue(encodePicture(running, 1) != null || !applying.errors.isEmpty(),
            hostile + ": applied silently failed");
      });
    } finally {
      Native.OpenH264TQEncoderDestroy(built);
      Native.OpenH264TQEncoderDestroy(running);
    }
  }

  @TestFactory
  Stream<DynamicTest> encoderConfigGetters() {
    return tests(EncoderConfig.class, HostileEncoderConfig.class,
        hostile -> encodeWith(new HostileEncoderConfig(hostile), new SpatialLayerConfig(),
            hostile));
  }

  @TestFactory
  Stream<DynamicTest> layerConfigGetters() {
    return tests(SpatialLayerConfig.class, HostileLayerConfig.class, hostile -> {
      HostileLayerConfig layer = new HostileLayerConfig(hostile);
      layer.setSliceMode(SliceMode.RASTER); // the mode that reads the slice array
      encodeWith(new EncoderConfig(), layer, hostile);
    });
  }

  /**
   * The decoder decodes the key frame, raises the key-frame request or reports the failure; a good
   * configuration then decodes it exactly.
   */
  @TestFactory
  Stream<DynamicTest> decoderConfigGetters() {
    return tests(DecoderConfig.class, HostileDecoderConfig.class, hostile -> {
      try (DecoderRun run = new DecoderRun(new HostileDecoderConfig(hostile))) {
        RecordingListener listener = new RecordingListener();
        byte[][] picture = new byte[1][];
        listener.around(() -> picture[0] = run.decode(idr));
        assertTrue(picture[0] != null || run.needsKeyFrame() != 0 || !listener.errors.isEmpty(),
            hostile + ": silently failed");
        assertEquals(0, Native.OpenH264TQDecoderSetConfig(run.handle, new DecoderConfig()));
        assertArrayEquals(idrPicture, run.decode(idr), hostile + ": decodes again");
      }
    });
  }
}
