package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;

/** The encoder natives against the real OpenH264. */
@Tag("release-matrix")
class NativeEncoderTest {
  private static final String INITIALIZING = "openh264 encode: Initializing encoder.";
  private static final int IDR_SLICE = 5;

  private final RecordingListener listener = new RecordingListener();
  private MessageListener previous;
  private long handle;

  @BeforeEach
  void createEncoder() {
    previous = Native.setThreadMessageListener(listener);
    handle = Native.OpenH264TQEncoderCreate(null, null, null, null);
    assertNotEquals(0L, handle);
  }

  @AfterEach
  void destroyEncoder() {
    Native.OpenH264TQEncoderDestroy(handle);
    Native.setThreadMessageListener(previous);
  }

  /** Defaults, but every picture comes out: rate control may not skip any. */
  private static EncoderConfig noSkips() {
    return new EncoderConfig().setEnableFrameSkip(false);
  }

  private void configure(EncoderConfig config, SpatialLayerConfig layer) {
    assertEquals(0, Native.OpenH264TQEncoderSetConfig(handle, config));
    for (int i = 0; i < config.getSpatialLayers(); i++) {
      assertEquals(0, Native.OpenH264TQEncoderSetSpatialLayerConfig(handle, layer, i));
    }
  }

  private byte[] encode(byte[] packed, int width, int height, int[] outFrameSize) {
    return Native.OpenH264TQEncoderEncodei420(
        handle,
        width,
        height,
        TestPictures.planes(packed, width, height),
        TestPictures.strides(width),
        new int[3],
        0,
        outFrameSize);
  }

  private byte[] encodeFrame(int width, int height, int frame) {
    int[] size = {-1};
    byte[] out = encode(TestPictures.movingPattern(width, height, frame), width, height, size);
    if (out != null) {
      assertEquals(out.length, size[0], "outFrameSize matches the array");
    }
    return out;
  }

  @Test
  void firstPictureIsIdrWithParameterSetsAndLaterOnesAreNot() {
    configure(noSkips(), new SpatialLayerConfig());
    List<Integer> first = TestPictures.nalTypes(encodeFrame(320, 240, 0));
    assertTrue(first.containsAll(List.of(7, 8, IDR_SLICE)), "first picture NAL types " + first);
    assertEquals(0L, Native.OpenH264TQEncoderGetForceKeyFrame(handle));
    for (int frame = 1; frame < 6; frame++) {
      List<Integer> types = TestPictures.nalTypes(encodeFrame(320, 240, frame));
      assertFalse(types.contains(IDR_SLICE), "picture " + frame + " NAL types " + types);
    }
    assertEquals(1, listener.debug.stream().filter(INITIALIZING::equals).count());
    assertTrue(listener.errors.isEmpty(), listener.errors.toString());
  }

  @Test
  void forcedKeyFrameMakesOnlyTheNextPictureIdr() {
    configure(noSkips(), new SpatialLayerConfig());
    for (int frame = 0; frame < 3; frame++) {
      encodeFrame(320, 240, frame);
    }
    Native.OpenH264TQEncoderSetForceKeyFrame(handle, 1);
    assertEquals(1L, Native.OpenH264TQEncoderGetForceKeyFrame(handle));
    assertTrue(TestPictures.nalTypes(encodeFrame(320, 240, 3)).contains(IDR_SLICE));
    assertEquals(0L, Native.OpenH264TQEncoderGetForceKeyFrame(handle));
    assertFalse(TestPictures.nalTypes(encodeFrame(320, 240, 4)).contains(IDR_SLICE));
  }

  @Test
  void sizeChangeRebuildsTheEncoderOncePerSize() {
    configure(noSkips(), new SpatialLayerConfig());
    assertNotNull(encodeFrame(320, 240, 0));
    assertNotNull(encodeFrame(320, 240, 1));
    byte[] resized = encodeFrame(352, 288, 2);
    assertNotNull(resized);
    assertNotNull(encodeFrame(352, 288, 3));
    long builds = listener.debug.stream().filter(INITIALIZING::equals).count();
    assertEquals(2, builds);
    assertTrue(TestPictures.nalTypes(resized).contains(7), "a new encoder sends new SPS");
  }

  @Test
  void severalSpatialLayersComeBackAsOneArray() {
    // Each layer gets the whole bit rate, which only OpenH264's rate control "off" accepts.
    configure(
        noSkips().setSpatialLayers(2).setRcMode(RateControlMode.OFF), new SpatialLayerConfig());
    int[] size = {-1};
    byte[] out = encode(TestPictures.movingPattern(320, 240, 0), 320, 240, size);
    assertNotNull(out);
    assertEquals(out.length, size[0]);
    List<Integer> types = TestPictures.nalTypes(out);
    assertTrue(types.contains(IDR_SLICE), types.toString());
    assertTrue(types.contains(20), "the second layer's slices follow in the array: " + types);
    assertTrue(types.indexOf(IDR_SLICE) < types.indexOf(20), types.toString());
  }

  private long totalBytes(long bitrateUnits) {
    long encoder = Native.OpenH264TQEncoderCreate(null, null, null, null);
    try {
      Native.OpenH264TQEncoderSetConfig(
          encoder, new EncoderConfig().setRcMode(RateControlMode.BITRATE));
      Native.OpenH264TQEncoderSetSpatialLayerConfig(encoder, new SpatialLayerConfig(), 0);
      Native.OpenH264TQEncoderSetBitrate(encoder, bitrateUnits);
      long total = 0;
      for (int frame = 0; frame < 40; frame++) {
        byte[] packed = TestPictures.movingPattern(320, 240, frame);
        byte[] out =
            Native.OpenH264TQEncoderEncodei420(
                encoder, 320, 240, TestPictures.planes(packed, 320, 240),
                TestPictures.strides(320), new int[3], 0, new int[1]);
        total += out == null ? 0 : out.length;
      }
      return total;
    } finally {
      Native.OpenH264TQEncoderDestroy(encoder);
    }
  }

  @Test
  void lowerBitrateMeasurablyShrinksTheStream() {
    long high = totalBytes(1500);
    long low = totalBytes(150);
    assertTrue(low * 2 < high, "150 units gave " + low + " bytes, 1500 units gave " + high);
  }

  @Test
  void bitrateReadsBackFromTheRunningEncoder() {
    configure(new EncoderConfig().setRcMode(RateControlMode.BITRATE), new SpatialLayerConfig());
    Native.OpenH264TQEncoderSetBitrate(handle, 500);
    assertEquals(500L, Native.OpenH264TQEncoderGetBitrate(handle));
    encodeFrame(320, 240, 0);
    assertEquals(500L, Native.OpenH264TQEncoderGetBitrate(handle));
    Native.OpenH264TQEncoderSetBitrate(handle, 800);
    assertEquals(800L, Native.OpenH264TQEncoderGetBitrate(handle));
    Native.OpenH264TQEncoderSetBitrate(handle, 300);
    assertEquals(300L, Native.OpenH264TQEncoderGetBitrate(handle));
    assertEquals(0, Native.OpenH264TQEncoderSetComplexityMode(handle, 2));
  }

  @Test
  void appliedConfigurationChangesTheRunningEncoderWithoutARebuild() {
    configure(noSkips(), new SpatialLayerConfig());
    assertEquals(0, Native.OpenH264TQEncoderApplyConfigChanges(handle, 0));
    for (int frame = 0; frame < 3; frame++) {
      encodeFrame(320, 240, frame);
    }
    Native.OpenH264TQEncoderSetConfig(handle, noSkips().setIntraPeriod(4));
    for (int frame = 3; frame < 8; frame++) {
      assertFalse(
          TestPictures.nalTypes(encodeFrame(320, 240, frame)).contains(IDR_SLICE),
          "stored configuration waits for ApplyConfigChanges");
    }
    assertEquals(0, Native.OpenH264TQEncoderApplyConfigChanges(handle, 0));
    int idrPictures = 0;
    for (int frame = 8; frame < 20; frame++) {
      if (TestPictures.nalTypes(encodeFrame(320, 240, frame)).contains(IDR_SLICE)) {
        idrPictures++;
      }
    }
    assertTrue(idrPictures >= 2, "intra period 4 over 12 pictures gave " + idrPictures + " IDR");
    assertEquals(1, listener.debug.stream().filter(INITIALIZING::equals).count());
  }

  @Test
  void skippedPictureReturnsNullAndLeavesTheOutputSizeAlone() {
    configure(
        new EncoderConfig().setRcMode(RateControlMode.BITRATE).setEnableFrameSkip(true),
        new SpatialLayerConfig());
    Native.OpenH264TQEncoderSetBitrate(handle, 20);
    int skipped = 0;
    for (int frame = 0; frame < 30; frame++) {
      int[] size = {-7, -8};
      byte[] out = encode(TestPictures.noise(320, 240, frame), 320, 240, size);
      if (out == null) {
        skipped++;
        assertArrayEquals(new int[] {-7, -8}, size);
      } else {
        assertArrayEquals(new int[] {out.length, -8}, size);
      }
    }
    assertTrue(skipped > 0, "rate control skipped no picture of noise at 20 units");
    assertFalse(
        listener.debug.stream().anyMatch(m -> m.contains("not yet ready")), "skips are silent");
  }

  @Test
  void inputThatCannotBeEncodedSafelyReturnsNullAndLeavesTheEncoderWorking() {
    configure(noSkips(), new SpatialLayerConfig());
    byte[][] planes = TestPictures.planes(TestPictures.movingPattern(64, 64, 0), 64, 64);
    int[] size = {-1};
    int[] strides = TestPictures.strides(64);
    assertNull(Native.OpenH264TQEncoderEncodei420(handle, 64, 66, planes, strides, new int[3], 0,
        size), "height beyond the planes");
    assertNull(Native.OpenH264TQEncoderEncodei420(handle, 64, 64, planes, new int[] {63, 32, 32},
        new int[3], 0, size), "stride below width");
    assertNull(Native.OpenH264TQEncoderEncodei420(handle, 64, 64, planes, strides,
        new int[] {0, 1, 0}, 0, size), "offset past the plane");
    assertNull(Native.OpenH264TQEncoderEncodei420(handle, 64, 64, null, strides, new int[3], 0,
        size), "no planes");
    assertNull(Native.OpenH264TQEncoderEncodei420(handle, 64, 64, planes, strides, new int[3], 0,
        new int[0]), "no room for the size");
    assertArrayEquals(new int[] {-1}, size);
    assertEquals(1L, Native.OpenH264TQEncoderGetForceKeyFrame(handle), "request not consumed");
    assertTrue(listener.debug.stream().noneMatch(INITIALIZING::equals));
    assertNotNull(encodeFrame(64, 64, 0));
  }

  @Test
  void zeroHandleIsRefusedByEveryEncoderCall() {
    assertEquals(-1, Native.OpenH264TQEncoderSetConfig(0, new EncoderConfig()));
    assertEquals(-1, Native.OpenH264TQEncoderSetSpatialLayerConfig(0, new SpatialLayerConfig(), 0));
    assertEquals(-1, Native.OpenH264TQEncoderApplyConfigChanges(0, 0));
    assertNull(Native.OpenH264TQEncoderEncodei420(0, 64, 64,
        TestPictures.planes(new byte[64 * 96], 64, 64), TestPictures.strides(64), new int[3], 0,
        new int[1]));
    assertEquals(-1L, Native.OpenH264TQEncoderGetBitrate(0));
    assertEquals(0L, Native.OpenH264TQEncoderGetForceKeyFrame(0));
    assertEquals(-1, Native.OpenH264TQEncoderSetComplexityMode(0, 0));
    Native.OpenH264TQEncoderSetBitrate(0, 100);
    Native.OpenH264TQEncoderSetForceKeyFrame(0, 1);
  }
}
