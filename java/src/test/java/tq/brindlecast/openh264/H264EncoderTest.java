package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static tq.brindlecast.openh264.Refusals.assertRefused;

import java.util.List;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.bitstream.NalUnit;

class H264EncoderTest {
  private static final String INITIALIZING = "openh264 encode: Initializing encoder.";

  static I420Picture picture(int width, int height, int frame) {
    return I420Picture.fromPacked(TestPictures.movingPattern(width, height, frame), width, height);
  }

  private static EncoderConfig noSkips() {
    return new EncoderConfig().setRcMode(RateControlMode.BITRATE).setEnableFrameSkip(false);
  }

  @Test
  void firstPictureAndRequestedPicturesAreIdr() {
    try (H264Encoder encoder = new H264Encoder(noSkips())) {
      assertTrue(encoder.isKeyFrameRequested(), "a new encoder starts with an IDR picture");
      EncodedFrame first = encoder.encode(picture(320, 240, 0));
      assertTrue(first.isIdr());
      List<Integer> types = first.nalUnits().stream().map(NalUnit::type).toList();
      assertTrue(types.containsAll(List.of(NalUnit.TYPE_SPS, NalUnit.TYPE_PPS)), "types " + types);
      assertFalse(encoder.isKeyFrameRequested());
      assertFalse(encoder.encode(picture(320, 240, 1)).isIdr());
      encoder.requestKeyFrame();
      assertTrue(encoder.isKeyFrameRequested());
      assertTrue(encoder.encode(picture(320, 240, 2)).isIdr());
      assertFalse(encoder.encode(picture(320, 240, 3)).isIdr());
    }
  }

  @Test
  void picturesWithPaddingAndOffsetsEncodeLikeTheirPackedForm() {
    byte[] packed = TestPictures.movingPattern(64, 48, 0);
    I420Picture tight = I420Picture.fromPacked(packed, 64, 48);
    // The same samples at strides 80/40 behind 7 bytes of junk.
    byte[] y = new byte[7 + 80 * 48];
    byte[] u = new byte[7 + 40 * 24];
    byte[] v = new byte[7 + 40 * 24];
    java.util.Arrays.fill(y, (byte) 255);
    for (int row = 0; row < 48; row++) {
      System.arraycopy(packed, row * 64, y, 7 + row * 80, 64);
    }
    for (int row = 0; row < 24; row++) {
      System.arraycopy(packed, 64 * 48 + row * 32, u, 7 + row * 40, 32);
      System.arraycopy(packed, 64 * 48 + 32 * 24 + row * 32, v, 7 + row * 40, 32);
    }
    I420Picture padded =
        I420Picture.ofPlanes(64, 48, new byte[][] {y, u, v}, new int[] {80, 40, 40},
            new int[] {7, 7, 7});
    byte[] fromTight;
    byte[] fromPadded;
    try (H264Encoder encoder = new H264Encoder(noSkips())) {
      fromTight = encoder.encode(tight).data();
    }
    try (H264Encoder encoder = new H264Encoder(noSkips())) {
      fromPadded = encoder.encode(padded).data();
    }
    assertEquals(java.util.Arrays.toString(fromTight), java.util.Arrays.toString(fromPadded));
  }

  @Test
  void bitrateIsStoredBeforeAndReadFromTheEncoderAfterTheFirstPicture() {
    try (H264Encoder encoder = new H264Encoder(noSkips())) {
      assertEquals(H264Encoder.DEFAULT_BITRATE, encoder.getBitrate());
      encoder.setBitrate(500);
      assertEquals(500, encoder.getBitrate());
      assertNotNull(encoder.encode(picture(320, 240, 0)));
      assertEquals(500, encoder.getBitrate());
      encoder.setBitrate(H264Encoder.MAX_BITRATE);
      assertEquals(H264Encoder.MAX_BITRATE, encoder.getBitrate());
    }
  }

  @Test
  void bitRateHoldsAtEveryFrameRateIncludingAboveOpenH264sSixty() {
    // OpenH264 budgets pictures for at most 60/s; faster streams overshot by fps/60 before.
    // The same budget per picture at every rate: 30 units (about 31 kbit) each.
    double seconds = 2;
    for (float fps : new float[] {30, 60, 90, 120, 240}) {
      int target = Math.round(30 * fps);
      try (H264Encoder encoder = new H264Encoder(noSkips().setMaxFrameRate(fps))) {
        encoder.setBitrate(target);
        long bytes = 0;
        int pictures = (int) (fps * seconds);
        for (int frame = 0; frame < pictures; frame++) {
          bytes += encoder.encode(picture(320, 240, frame)).data().length;
        }
        double units = bytes * 8 / seconds / H264Encoder.BITRATE_UNIT;
        assertEquals(target, units, target * 0.15, "units of 1024 bit/s at " + fps + " pictures/s");
        assertEquals(target, encoder.getBitrate(), "the bit rate reads back as set");
      }
    }
  }

  @Test
  void complexityAndAppliedConfigurationAreKeptAndReachTheRunningEncoder() {
    RecordingListener listener = new RecordingListener();
    try (H264Encoder encoder =
        new H264Encoder(noSkips(), List.of(new SpatialLayerConfig()), listener)) {
      encoder.setComplexityMode(ComplexityMode.HIGH);
      assertEquals(ComplexityMode.HIGH.value(), encoder.getConfig().getComplexityMode());
      for (int frame = 0; frame < 3; frame++) {
        encoder.encode(picture(320, 240, frame));
      }
      encoder.setComplexityMode(ComplexityMode.MEDIUM);
      encoder.applyConfig(noSkips().setIntraPeriod(4), List.of(new SpatialLayerConfig()));
      assertEquals(4, encoder.getConfig().getIntraPeriod());
      int idr = 0;
      for (int frame = 3; frame < 15; frame++) {
        idr += encoder.encode(picture(320, 240, frame)).isIdr() ? 1 : 0;
      }
      assertTrue(idr >= 2, "intra period 4 over 12 pictures gave " + idr + " IDR pictures");
      assertEquals(1, listener.debug.stream().filter(INITIALIZING::equals).count(),
          "applying a configuration does not rebuild the encoder");
    }
  }

  @Test
  void encoderThatCannotBeBuiltThrowsTheLibrarysMessage() {
    RecordingListener listener = new RecordingListener();
    // OpenH264 refuses to initialise with this rate-control mode.
    EncoderConfig config = new EncoderConfig().setRcMode(RateControlMode.BITRATE_POST_SKIP);
    try (H264Encoder encoder =
        new H264Encoder(config, List.of(new SpatialLayerConfig()), listener)) {
      CodecException failure =
          assertThrows(CodecException.class, () -> encoder.encode(picture(64, 64, 0)));
      assertEquals("openh264 encode: Could not initialize openh264 encoder.", failure.getMessage());
      assertEquals(List.of(failure.getMessage()), listener.errors, "the listener hears it too");
    }
  }

  @Test
  void argumentsAreCheckedBeforeTheLibraryIsCalledAndNamedInTheFailure() {
    assertRefused(NullPointerException.class, "config", () -> new H264Encoder(null));
    assertRefused(IllegalArgumentException.class, "minQP must not be above maxQP",
        () -> new H264Encoder(new EncoderConfig().setMinQP(40).setMaxQP(30)));
    assertRefused(IllegalArgumentException.class, "config has 2, layers has 1",
        () -> new H264Encoder(new EncoderConfig().setSpatialLayers(2),
            List.of(new SpatialLayerConfig()), null));
    assertRefused(NullPointerException.class, "layers[1]",
        () -> new H264Encoder(new EncoderConfig().setSpatialLayers(2),
            java.util.Arrays.asList(new SpatialLayerConfig(), null), null));
    try (H264Encoder encoder = new H264Encoder(noSkips())) {
      assertRefused(NullPointerException.class, "picture", () -> encoder.encode(null));
      assertRefused(IllegalArgumentException.class, "at least 16x16 for OpenH264, was 15x64",
          () -> encoder.encode(I420Picture.allocate(15, 64)));
      assertRefused(IllegalArgumentException.class, "must be even for H.264 4:2:0, was 18x33",
          () -> encoder.encode(I420Picture.allocate(18, 33)));
      assertRefused(IllegalArgumentException.class, "bitrate must be between 1 and",
          () -> encoder.setBitrate(0));
      assertRefused(IllegalArgumentException.class, "bitrate", 
          () -> encoder.setBitrate(H264Encoder.MAX_BITRATE + 1));
      assertEquals(H264Encoder.DEFAULT_BITRATE, encoder.getBitrate(), "nothing reached the context");
      assertRefused(NullPointerException.class, "mode", () -> encoder.setComplexityMode(null));
      assertRefused(NullPointerException.class, "layers", () -> encoder.applyConfig(noSkips(), null));
      assertTrue(encoder.isKeyFrameRequested(), "no picture reached the encoder");
    }
  }
}
