package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;

/** Streams made by the library, decoded by ffmpeg's own decoder. */
@Tag("release-matrix")
class NativeEncoderInteropTest {
  private static final int WIDTH = 1280;
  private static final int HEIGHT = 720;
  private static final int FRAMES = 60;
  private static final int FRAME_BYTES = WIDTH * HEIGHT * 3 / 2;

  @Test
  void ffmpegDecodesEveryPictureOfA720pStreamAtGoodQuality() throws Exception {
    Path dir = FfmpegTool.workDir("encoder-interop");
    byte[] clip = Files.readAllBytes(FfmpegTool.testClip(dir, WIDTH, HEIGHT, FRAMES));
    assertEquals(FRAMES * FRAME_BYTES, clip.length);

    ByteArrayOutputStream stream = new ByteArrayOutputStream();
    List<Integer> encodedFrames = new ArrayList<>();
    long handle = Native.OpenH264TQEncoderCreate(null, null, null, null);
    assertNotEquals(0L, handle);
    try {
      Native.OpenH264TQEncoderSetConfig(handle, new EncoderConfig());
      Native.OpenH264TQEncoderSetSpatialLayerConfig(handle, new SpatialLayerConfig(), 0);
      Native.OpenH264TQEncoderSetBitrate(handle, 2000);
      for (int frame = 0; frame < FRAMES; frame++) {
        byte[] packed = Arrays.copyOfRange(clip, frame * FRAME_BYTES, (frame + 1) * FRAME_BYTES);
        byte[] out =
            Native.OpenH264TQEncoderEncodei420(
                handle, WIDTH, HEIGHT, TestPictures.planes(packed, WIDTH, HEIGHT),
                TestPictures.strides(WIDTH), new int[3], 0, new int[1]);
        if (out != null) {
          stream.write(out);
          encodedFrames.add(frame);
        }
      }
    } finally {
      Native.OpenH264TQEncoderDestroy(handle);
    }
    assertTrue(encodedFrames.size() >= FRAMES * 9 / 10, "pictures out: " + encodedFrames.size());

    Path h264 = dir.resolve("library.h264");
    Files.write(h264, stream.toByteArray());
    byte[] decoded = FfmpegTool.decodeToI420(h264, dir.resolve("library-decoded.yuv"));
    assertEquals(encodedFrames.size() * FRAME_BYTES, decoded.length, "pictures ffmpeg decoded");

    double worst = Double.POSITIVE_INFINITY;
    for (int i = 0; i < encodedFrames.size(); i++) {
      double psnr =
          FfmpegTool.psnr(
              clip, encodedFrames.get(i) * FRAME_BYTES, decoded, i * FRAME_BYTES, FRAME_BYTES);
      worst = Math.min(worst, psnr);
    }
    assertTrue(worst >= 30.0, "worst PSNR " + worst + " dB");
  }
}
