package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.bitstream.NalUnit;

/** What Decode accepts and what it writes, on the real OpenH264. */
class DecoderNativeDecodeTest {
  private static StreamSamples sample;
  private static List<byte[]> units;

  @BeforeAll
  static void makeStream() throws Exception {
    sample =
        StreamSamples.make(FfmpegTool.workDir("decoder-decode"), "baseline-320x240", 320, 240, 4,
            "-profile:v", "baseline");
    units = sample.accessUnits();
  }

  @Test
  void pictureComesWithItsGeometryInTheOutArrays() {
    try (DecoderRun run = new DecoderRun()) {
      byte[] picture = run.decodeRaw(units.get(0), units.get(0).length);
      assertNotNull(picture);
      assertEquals(320, run.width[0]);
      assertEquals(240, run.height[0]);
      assertEquals(3, run.planeCount[0]);
      int lumaStride = run.strides[0];
      int chromaStride = run.strides[1];
      assertArrayEquals(new int[] {lumaStride, chromaStride, chromaStride}, run.strides);
      assertArrayEquals(
          new int[] {lumaStride * 240, chromaStride * 120, chromaStride * 120}, run.planeSizes);
      assertEquals(lumaStride * 240 + 2 * chromaStride * 120, picture.length);
      assertArrayEquals(sample.reference.get(0), run.cropped(picture));
    }
  }

  @Test
  void lengthBeyondTheArrayDecodesOnlyWhatTheArrayHolds() {
    try (DecoderRun run = new DecoderRun()) {
      byte[] first = units.get(0);
      byte[] picture = run.decodeRaw(first, Integer.MAX_VALUE);
      assertArrayEquals(sample.reference.get(0), run.cropped(picture));
      byte[] second = units.get(1);
      byte[] padded = Arrays.copyOf(second, second.length + 100);
      assertArrayEquals(
          sample.reference.get(1), run.cropped(run.decodeRaw(padded, second.length)),
          "bytes past the length are not decoded");
    }
  }

  @Test
  void negativeOrZeroLengthDecodesNothing() {
    try (DecoderRun run = new DecoderRun()) {
      byte[] first = units.get(0);
      assertNull(run.decodeRaw(first, -1));
      assertNull(run.decodeRaw(first, Integer.MIN_VALUE));
      assertNull(run.decodeRaw(first, 0));
      assertNull(run.decodeRaw(new byte[0], 10));
      assertArrayEquals(sample.reference.get(0), run.decode(first));
    }
  }

  @Test
  void unusableOutArraysStopTheCallBeforeAnythingIsDecodedOrWritten() {
    try (DecoderRun run = new DecoderRun()) {
      byte[] first = units.get(0);
      int[] one = {-1};
      int[] three = {-1, -1, -1};
      int[] shortStrides = {-1, -1};
      assertNull(
          Native.OpenH264TQDecoderDecode(
              run.handle, first, first.length, one, one, shortStrides, three, one));
      assertNull(
          Native.OpenH264TQDecoderDecode(run.handle, first, first.length, one, one, three, three,
              null));
      assertNull(
          Native.OpenH264TQDecoderDecode(run.handle, first, first.length, new int[0], one, three,
              three, one));
      assertArrayEquals(new int[] {-1}, one);
      assertArrayEquals(new int[] {-1, -1, -1}, three);
      assertArrayEquals(new int[] {-1, -1}, shortStrides);
      assertArrayEquals(sample.reference.get(0), run.decode(first), "the picture was not lost");
    }
  }

  @Test
  void longerOutArraysKeepTheirOtherElements() {
    try (DecoderRun run = new DecoderRun()) {
      int[] width = {-1, 42};
      int[] strides = {-1, -1, -1, 42};
      byte[] first = units.get(0);
      assertNotNull(
          Native.OpenH264TQDecoderDecode(
              run.handle, first, first.length, width, new int[1], strides, new int[3],
              new int[1]));
      assertEquals(320, width[0]);
      assertEquals(42, width[1]);
      assertEquals(42, strides[3]);
    }
  }

  @Test
  void nullBitstreamBeforeAnyDataIsAQuietEndOfStream() {
    try (DecoderRun run = new DecoderRun()) {
      assertNull(run.decode(null));
      assertEquals(0L, run.needsKeyFrame());
      assertArrayEquals(sample.reference.get(0), run.decode(units.get(0)));
    }
  }

  @Test
  void parameterSetsAloneGiveNoPictureAndNoKeyFrameRequest() {
    byte[] first = units.get(0);
    int slice = indexOfNal(first, NalUnit.TYPE_IDR);
    try (DecoderRun run = new DecoderRun()) {
      assertNull(run.decode(Arrays.copyOf(first, slice)));
      assertEquals(0L, run.needsKeyFrame());
      assertArrayEquals(
          sample.reference.get(0), run.decode(Arrays.copyOfRange(first, slice, first.length)));
    }
  }

  /** Offset of the start code of the first NAL unit of the type. */
  private static int indexOfNal(byte[] buffer, int type) {
    for (int i = 0; i + 3 < buffer.length; i++) {
      if (buffer[i] == 0 && buffer[i + 1] == 0 && buffer[i + 2] == 1
          && NalUnit.typeOf(buffer[i + 3]) == type) {
        return i > 0 && buffer[i - 1] == 0 ? i - 1 : i;
      }
    }
    throw new IllegalArgumentException("no NAL unit of type " + type);
  }
}
