package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;

/** Pictures through the library's own encoder and back through its decoder. */
class DecoderRoundTripTest {
  private static final int WIDTH = 1280;
  private static final int HEIGHT = 720;
  private static final int FRAMES = 30;
  private static final int FRAME_BYTES = WIDTH * HEIGHT * 3 / 2;
  private static final int BITRATE_UNITS = 2000;

  @Test
  void encodedPicturesComeBackAtGoodQualityAndAsFfmpegDecodesThem() throws Exception {
    Path dir = FfmpegTool.workDir("decoder-round-trip");
    Path clipFile = FfmpegTool.testClip(dir, WIDTH, HEIGHT, FRAMES);
    byte[] clip = Files.readAllBytes(clipFile);
    Files.delete(clipFile);

    List<Integer> sourceFrames = new ArrayList<>();
    List<byte[]> decoded = new ArrayList<>();
    ByteArrayOutputStream stream = new ByteArrayOutputStream();
    long encoder = Native.OpenH264TQEncoderCreate(null, null, null, null);
    assertNotEquals(0L, encoder);
    try (DecoderRun run = new DecoderRun()) {
      assertEquals(0, Native.OpenH264TQEncoderSetConfig(encoder, new EncoderConfig()));
      assertEquals(
          0, Native.OpenH264TQEncoderSetSpatialLayerConfig(encoder, new SpatialLayerConfig(), 0));
      Native.OpenH264TQEncoderSetBitrate(encoder, BITRATE_UNITS);
      for (int frame = 0; frame < FRAMES; frame++) {
        byte[] packed = Arrays.copyOfRange(clip, frame * FRAME_BYTES, (frame + 1) * FRAME_BYTES);
        byte[] annexB =
            Native.OpenH264TQEncoderEncodei420(
                encoder, WIDTH, HEIGHT, TestPictures.planes(packed, WIDTH, HEIGHT),
                TestPictures.strides(WIDTH), new int[3], 0, new int[1]);
        if (annexB == null) {
          continue;
        }
        sourceFrames.add(frame);
        stream.write(annexB);
        byte[] picture = run.decode(annexB);
        assertNotNull(picture, "picture " + frame + " comes out of the same call");
        decoded.add(picture);
        assertEquals(0L, run.needsKeyFrame());
      }
      decoded.addAll(run.drain());
    } finally {
      Native.OpenH264TQEncoderDestroy(encoder);
    }
    assertTrue(sourceFrames.size() >= FRAMES * 9 / 10, "pictures encoded: " + sourceFrames);
    assertEquals(sourceFrames.size(), decoded.size());

    double worst = Double.POSITIVE_INFINITY;
    for (int i = 0; i < decoded.size(); i++) {
      worst =
          Math.min(
              worst,
              FfmpegTool.psnr(
                  clip, sourceFrames.get(i) * FRAME_BYTES, decoded.get(i), 0, FRAME_BYTES));
    }
    assertTrue(worst >= 30.0, "worst PSNR " + worst + " dB");

    Path h264 = dir.resolve("round-trip.h264");
    Files.write(h264, stream.toByteArray());
    Path yuv = dir.resolve("round-trip.yuv");
    byte[] ffmpeg = FfmpegTool.decodeToI420(h264, yuv);
    Files.delete(h264);
    Files.delete(yuv);
    assertEquals(decoded.size() * FRAME_BYTES, ffmpeg.length);
    for (int i = 0; i < decoded.size(); i++) {
      assertArrayEquals(
          Arrays.copyOfRange(ffmpeg, i * FRAME_BYTES, (i + 1) * FRAME_BYTES), decoded.get(i),
          "picture " + i + " as ffmpeg decodes it");
    }
  }
}
