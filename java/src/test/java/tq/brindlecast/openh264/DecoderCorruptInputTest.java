package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Arrays;
import java.util.List;
import java.util.Random;
import java.util.stream.IntStream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;

/**
 * Damaged input on the real OpenH264: the damaged call returns null and raises the key-frame
 * request, nothing crashes, and the next IDR picture decodes exactly with the request cleared.
 */
@Tag("release-matrix")
class DecoderCorruptInputTest {
  private static final int FRAMES = 30;
  private static final int IDR_INTERVAL = 10;
  private static StreamSamples sample;
  private static List<byte[]> units;

  @BeforeAll
  static void makeStream() throws Exception {
    sample =
        StreamSamples.make(FfmpegTool.workDir("decoder-corrupt"), "idr-every-10", 320, 240,
            FRAMES, "-profile:v", "baseline",
            "-x264-params", "keyint=" + IDR_INTERVAL + ":min-keyint=" + IDR_INTERVAL
                + ":scenecut=0");
    units = sample.accessUnits();
    assertEquals(FRAMES, units.size());
    List<Integer> idr =
        IntStream.range(0, FRAMES)
            .filter(i -> SliceHeaders.isIdr(units.get(i)))
            .boxed()
            .toList();
    assertEquals(List.of(0, 10, 20), idr);
  }

  /** Decodes units first to last - 1, each of which must give its picture. */
  private static void decodeCleanly(DecoderRun run, int first, int last) {
    for (int i = first; i < last; i++) {
      assertArrayEquals(sample.reference.get(i), run.decode(units.get(i)), "picture " + i);
      assertEquals(0L, run.needsKeyFrame());
    }
  }

  /** Feeds the units until the next IDR without looking at them, then checks the recovery. */
  private static void recoversAtTheNextIdr(DecoderRun run, int from, int idr) {
    for (int i = from; i < idr; i++) {
      run.decode(units.get(i));
    }
    byte[] picture = run.decode(units.get(idr));
    assertNotNull(picture, "the IDR picture decodes");
    assertArrayEquals(sample.reference.get(idr), picture);
    assertEquals(0L, run.needsKeyFrame(), "a good picture clears the request");
    decodeCleanly(run, idr + 1, idr + 5);
  }

  @Test
  void randomBytesAreRefusedUntilTheNextIdrPicture() {
    Random random = new Random(20240607);
    try (DecoderRun run = new DecoderRun()) {
      decodeCleanly(run, 0, 4);
      for (int i = 0; i < 50; i++) {
        byte[] garbage = new byte[1 + random.nextInt(4000)];
        random.nextBytes(garbage);
        if (i % 2 == 1) {
          garbage[0] = 0;
          garbage[1] = 0;
          garbage[2] = 1;
        }
        assertNull(run.decode(garbage), "garbage buffer " + i);
      }
      assertEquals(1L, run.needsKeyFrame());
      recoversAtTheNextIdr(run, 4, 10);
    }
  }

  @Test
  void truncatedPictureRaisesTheKeyFrameRequest() {
    try (DecoderRun run = new DecoderRun()) {
      decodeCleanly(run, 0, 5);
      byte[] unit = units.get(5);
      assertNull(run.decode(Arrays.copyOf(unit, unit.length / 2)));
      assertEquals(1L, run.needsKeyFrame());
      recoversAtTheNextIdr(run, 6, 10);
    }
  }

  @Test
  void droppedReferencePictureRaisesTheKeyFrameRequest() {
    try (DecoderRun run = new DecoderRun()) {
      decodeCleanly(run, 0, 13);
      assertNull(run.decode(units.get(14)), "unit 13 never arrived");
      assertEquals(1L, run.needsKeyFrame());
      recoversAtTheNextIdr(run, 15, 20);
    }
  }

  @Test
  void damageBeforeAnyKeyFrameNeverCrashes() {
    Random random = new Random(7);
    try (DecoderRun run = new DecoderRun()) {
      for (int i = 1; i < 6; i++) {
        assertNull(run.decode(units.get(i)), "a P picture without its IDR picture");
        assertEquals(1L, run.needsKeyFrame());
      }
      byte[] idr = units.get(10).clone();
      for (int i = idr.length / 3; i < idr.length; i += 7) {
        idr[i] = (byte) random.nextInt(256);
      }
      run.decode(idr);
      assertTrue(run.drain().size() <= 1);
      recoversAtTheNextIdr(run, 11, 20);
    }
  }
}
