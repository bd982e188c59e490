package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;

import java.io.ByteArrayOutputStream;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;

/**
 * Reference counts through the natives, whose callers may store any value. OpenH264 1.7.0 let
 * counts above 16 overrun its arrays and refused 0; every release must encode them as 2.3.1 does.
 */
@Tag("release-matrix")
class ReferenceCountTest {
  private static final int WIDTH = 320;
  private static final int HEIGHT = 240;

  /** A configuration whose getter hands the natives any count, as a foreign caller could. */
  private static EncoderConfig withStoredCount(int count) {
    return new EncoderConfig() {
      @Override
      public int getNumRefFrame() {
        return count;
      }
    }.setEnableFrameSkip(false);
  }

  /** The stream of 12 moving pictures; fails when a picture does not come out. */
  private static byte[] encode(EncoderConfig config, RecordingListener listener) {
    MessageListener previous = Native.setThreadMessageListener(listener);
    long handle = Native.OpenH264TQEncoderCreate(null, null, null, null);
    try {
      if (config != null) {
        assertEquals(0, Native.OpenH264TQEncoderSetConfig(handle, config));
        assertEquals(
            0, Native.OpenH264TQEncoderSetSpatialLayerConfig(handle, new SpatialLayerConfig(), 0));
      }
      ByteArrayOutputStream stream = new ByteArrayOutputStream();
      for (int frame = 0; frame < 12; frame++) {
        byte[] packed = TestPictures.movingPattern(WIDTH, HEIGHT, frame);
        byte[] out =
            Native.OpenH264TQEncoderEncodei420(
                handle, WIDTH, HEIGHT, TestPictures.planes(packed, WIDTH, HEIGHT),
                TestPictures.strides(WIDTH), new int[3], 0, new int[1]);
        if (out == null) {
          return null;
        }
        stream.writeBytes(out);
      }
      return stream.toByteArray();
    } finally {
      Native.OpenH264TQEncoderDestroy(handle);
      Native.setThreadMessageListener(previous);
    }
  }

  @TestFactory
  Stream<DynamicTest> countsOutsideOneToSixteenEncodeAsOnOpenH264_2_3_1() {
    // What 2.3.1 does by itself: above 16 it uses 16, below 1 it chooses as for -1.
    return Stream.of(new int[] {17, 16}, new int[] {20, 16}, new int[] {100, 16},
            new int[] {Integer.MAX_VALUE, 16}, new int[] {0, -1}, new int[] {-5, -1})
        .map(pair -> DynamicTest.dynamicTest(pair[0] + " encodes as " + pair[1], () -> {
          RecordingListener listener = new RecordingListener();
          byte[] expected = encode(withStoredCount(pair[1]), new RecordingListener());
          byte[] stream = encode(withStoredCount(pair[0]), listener);
          assertArrayEquals(expected, stream);
          assertEquals(List.of(), listener.errors, "OpenH264 " + OpenH264Release.version());
        }));
  }

  @Test
  void anEncoderNeverConfiguredEncodesOnEveryRelease() {
    RecordingListener listener = new RecordingListener();
    byte[] stream = encode(null, listener);
    assertNotNull(stream, "OpenH264 " + OpenH264Release.version() + ": " + listener.errors);
    assertFalse(TestPictures.nalTypes(stream).isEmpty());
    assertEquals(List.of(), listener.errors);
  }
}
