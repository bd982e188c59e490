package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/** Decoder contexts and their configuration on the real OpenH264. */
class DecoderNativeContextTest {
  private static final String SETTING_CONFIG =
      "openh264 decode: OpenH264 native decoder setting config.";
  private static StreamSamples sample;
  private static List<byte[]> units;

  @BeforeAll
  static void makeStream() throws Exception {
    sample =
        StreamSamples.make(FfmpegTool.workDir("decoder-context"), "baseline-idr-every-5", 320,
            240, 15, "-profile:v", "baseline", "-x264-params", "keyint=5:min-keyint=5:scenecut=0");
    units = sample.accessUnits();
    assertTrue(SliceHeaders.isIdr(units.get(0)) && SliceHeaders.isIdr(units.get(5)));
  }

  @Test
  void createAndDestroySendNothingAndHandleZeroIsHarmless() {
    RecordingListener listener =
        new RecordingListener()
            .around(
                () -> {
                  long first = Native.OpenH264TQDecoderCreate(null, null, null, null);
                  long second = Native.OpenH264TQDecoderCreate(null, null, null, null);
                  assertNotEquals(0L, first);
                  assertNotEquals(first, second);
                  Native.OpenH264TQDecoderDestroy(first);
                  Native.OpenH264TQDecoderDestroy(second);
                  Native.OpenH264TQDecoderDestroy(0);
                  assertEquals(-1, Native.OpenH264TQDecoderSetConfig(0, new DecoderConfig()));
                  assertEquals(0L, Native.OpenH264TQDecoderGetNeedsKeyFrame(0));
                  Native.OpenH264TQDecoderSetNeedsKeyFrame(0, 1);
                  int[] one = new int[1];
                  int[] three = new int[3];
                  assertNull(
                      Native.OpenH264TQDecoderDecode(
                          0, units.get(0), units.get(0).length, one, one, three, three, one));
                });
    assertTrue(listener.debug.isEmpty() && listener.errors.isEmpty(), listener.debug.toString());
  }

  @Test
  void setConfigSendsOneMessageAndNullConfigIsRefused() {
    try (DecoderRun run = new DecoderRun(null)) {
      RecordingListener listener =
          new RecordingListener()
              .around(
                  () -> {
                    DecoderConfig config = new DecoderConfig();
                    assertEquals(0, Native.OpenH264TQDecoderSetConfig(run.handle, config));
                    assertEquals(-1, Native.OpenH264TQDecoderSetConfig(run.handle, null));
                  });
      assertEquals(List.of(SETTING_CONFIG), listener.debug);
      assertTrue(listener.errors.isEmpty());
    }
  }

  @Test
  void needsKeyFrameStartsAtZeroAndKeepsWhatIsSet() {
    try (DecoderRun run = new DecoderRun()) {
      assertEquals(0L, run.needsKeyFrame());
      Native.OpenH264TQDecoderSetNeedsKeyFrame(run.handle, 7);
      assertEquals(7L, run.needsKeyFrame());
      Native.OpenH264TQDecoderSetNeedsKeyFrame(run.handle, Long.MIN_VALUE);
      assertEquals(Long.MIN_VALUE, run.needsKeyFrame());
      assertArrayEquals(sample.reference.get(0), run.decode(units.get(0)));
      assertEquals(0L, run.needsKeyFrame(), "a good decode overwrites it");
      Native.OpenH264TQDecoderSetNeedsKeyFrame(run.handle, 1);
      assertEquals(0, Native.OpenH264TQDecoderSetConfig(run.handle, new DecoderConfig()));
      assertEquals(1L, run.needsKeyFrame(), "SetConfig leaves it alone");
    }
  }

  @Test
  void decoderWithoutAnyConfigurationDecodes() {
    try (DecoderRun run = new DecoderRun(null)) {
      RecordingListener listener = new RecordingListener();
      listener.around(() -> assertArrayEquals(sample.reference.get(0), run.decode(units.get(0))));
      assertTrue(listener.errors.isEmpty(), listener.errors.toString());
      assertArrayEquals(sample.reference.get(1), run.decode(units.get(1)));
    }
  }

  @Test
  void setConfigBetweenPicturesBringsUpANewDecoderWithTheNewConfiguration() {
    try (DecoderRun run = new DecoderRun()) {
      assertArrayEquals(sample.reference.get(0), run.decode(units.get(0)));
      assertArrayEquals(sample.reference.get(1), run.decode(units.get(1)));

      // A parse-only decoder reconstructs nothing: OpenH264 refuses to decode.
      assertEquals(0, Native.OpenH264TQDecoderSetConfig(run.handle,
          new DecoderConfig().setParseOnly(true)));
      assertNull(run.decode(units.get(2)));
      assertEquals(1L, run.needsKeyFrame());

      // Back to decoding, on a fresh decoder that has seen no parameter sets yet.
      assertEquals(0, Native.OpenH264TQDecoderSetConfig(run.handle, new DecoderConfig()));
      assertNull(run.decode(units.get(3)));
      assertEquals(1L, run.needsKeyFrame());
      run.decode(units.get(4));
      assertArrayEquals(sample.reference.get(5), run.decode(units.get(5)), "the next IDR picture");
      assertEquals(0L, run.needsKeyFrame());
      assertArrayEquals(sample.reference.get(6), run.decode(units.get(6)));
    }
  }

  @Test
  void configurationGetterThatThrowsReachesTheCallerAndKeepsTheDecoder() {
    IllegalStateException failure = new IllegalStateException("no CPU load today");
    DecoderConfig throwing =
        new DecoderConfig() {
          @Override
          public int getCpuLoad() {
            throw failure;
          }
        };
    try (DecoderRun run = new DecoderRun()) {
      assertArrayEquals(sample.reference.get(0), run.decode(units.get(0)));
      IllegalStateException thrown =
          assertThrows(
              IllegalStateException.class,
              () -> Native.OpenH264TQDecoderSetConfig(run.handle, throwing));
      assertSame(failure, thrown);
      assertArrayEquals(
          sample.reference.get(1), run.decode(units.get(1)), "the running decoder carries on");
    }
  }

  @Test
  void fileNameOfAnyKindIsAccepted() {
    for (String name : new String[] {null, "", "recon-\u00e9t\u00e9.yuv"}) {
      try (DecoderRun run = new DecoderRun(new DecoderConfig().setFileNameRestructed(name))) {
        assertArrayEquals(sample.reference.get(0), run.decode(units.get(0)), "name " + name);
      }
    }
  }
}
