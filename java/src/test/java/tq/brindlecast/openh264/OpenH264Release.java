package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;

/**
 * The OpenH264 release the library under test runs with, as the library reports it, and what
 * differs between releases. Tests of such behaviour assert the running release's own.
 */
public final class OpenH264Release {
  private OpenH264Release() {}

  /** The release, e.g. "2.3.1". */
  public static String version() {
    return OpenH264Library.release();
  }

  /**
   * True for 1.x (1.7.0): it holds no picture back at the end of a stream, refuses B slices and
   * decodes weighted prediction off by one.
   */
  public static boolean isFirstGeneration() {
    return version().startsWith("1.");
  }

  /**
   * The lowest PSNR of the tool's round trip of its test pattern at the default settings:
   * measured 30.24 dB with 2.3.1's encoder and 28.15 dB with 1.7.0's.
   */
  public static double roundtripPsnrFloor() {
    return isFirstGeneration() ? 28.0 : 30.0;
  }

  /** Whether the stream's first picture parameter set turns weighted prediction on. */
  public static boolean weightedPrediction(byte[] stream) {
    return SliceHeaders.weightedPrediction(AccessUnitReader.split(stream).get(0));
  }

  /**
   * Asserts that decoded pictures are ffmpeg's, in order. A stream with weighted prediction
   * decodes exactly on 2.x; on 1.x the first picture is exact, later ones drift from ffmpeg's by
   * a few levels (weighted samples are off by one, and predictions carry the error on), and some
   * picture does differ.
   */
  public static void assertDecodedAsFfmpeg(
      List<byte[]> ffmpeg, List<byte[]> ours, boolean weightedPrediction) {
    assertEquals(ffmpeg.size(), ours.size(), "pictures");
    String release = "OpenH264 " + version();
    if (!weightedPrediction || !isFirstGeneration()) {
      for (int i = 0; i < ours.size(); i++) {
        assertArrayEquals(ffmpeg.get(i), ours.get(i), "picture " + i + ", " + release);
      }
      return;
    }
    assertArrayEquals(ffmpeg.get(0), ours.get(0), "first picture, " + release);
    double worst = Double.POSITIVE_INFINITY;
    for (int i = 0; i < ours.size(); i++) {
      byte[] expected = ffmpeg.get(i);
      assertEquals(expected.length, ours.get(i).length, "picture " + i);
      worst = Math.min(worst, FfmpegTool.psnr(expected, 0, ours.get(i), 0, expected.length));
    }
    System.out.printf("weighted prediction on %s: worst PSNR against ffmpeg %.2f dB%n", release,
        worst);
    assertTrue(worst < Double.POSITIVE_INFINITY, release + " decodes weighted prediction exactly");
    assertTrue(worst > WEIGHTED_PREDICTION_PSNR_FLOOR, release + ": worst PSNR " + worst + " dB");
  }

  /** The least PSNR against ffmpeg of 1.x's pictures with weighted prediction (64 dB measured). */
  private static final double WEIGHTED_PREDICTION_PSNR_FLOOR = 55.0;
}
