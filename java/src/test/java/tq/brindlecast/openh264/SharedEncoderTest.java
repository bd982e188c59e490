package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.TreeMap;
import org.junit.jupiter.api.Test;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.bitstream.NalUnit;

/** One encoder used by several threads at once. */
class SharedEncoderTest {
  private static final int THREADS = 4;
  private static final int PICTURES_PER_THREAD = 15;
  private static final int WIDTH = 160;
  private static final int HEIGHT = 128;

  /** An encoded picture and the index of the test picture it was made from. */
  private record Encoded(int source, EncodedFrame frame) {}

  @Test
  void threadsSharingAnEncoderMakeAStreamFfmpegDecodes() throws Exception {
    List<Encoded> frames = Collections.synchronizedList(new ArrayList<>());
    try (H264Encoder encoder =
        new H264Encoder(
            // Interleaved threads look like scene changes; an IDR picture there would restart
            // frame_num, which orders the stream below.
            new EncoderConfig()
                .setRcMode(RateControlMode.BITRATE)
                .setEnableFrameSkip(false)
                .setEnableSceneChangeDetect(false))) {
      Together.run(
          THREADS,
          thread -> {
            for (int i = 0; i < PICTURES_PER_THREAD; i++) {
              int source = thread * PICTURES_PER_THREAD + i;
              frames.add(
                  new Encoded(
                      source, encoder.encode(H264EncoderTest.picture(WIDTH, HEIGHT, source))));
              if (i % 5 == 4) {
                encoder.setBitrate(300 + 100 * thread);
                encoder.getBitrate();
              }
            }
          });
    }
    assertEquals(THREADS * PICTURES_PER_THREAD, frames.size());

    // The encoder numbers its pictures: frame_num gives the order it encoded them in.
    EncodedFrame first =
        frames.stream().map(Encoded::frame).filter(EncodedFrame::isIdr).findFirst().orElseThrow();
    NalUnit sps = first.nalUnits().stream()
        .filter(unit -> unit.type() == NalUnit.TYPE_SPS).findFirst().orElseThrow();
    int frameNumBits = SliceHeaders.frameNumBits(first.data(), sps);
    TreeMap<Integer, Encoded> byNumber = new TreeMap<>();
    for (Encoded encoded : frames) {
      assertNotNull(encoded.frame(), "picture " + encoded.source() + " was not skipped");
      EncodedFrame frame = encoded.frame();
      NalUnit slice = frame.nalUnits().stream().filter(NalUnit::isSlice).findFirst().orElseThrow();
      byNumber.put(SliceHeaders.frameNum(frame.data(), slice, frameNumBits), encoded);
    }
    assertEquals(frames.size(), byNumber.size(), "every picture has its own frame_num");
    assertEquals(0, byNumber.firstKey());
    assertEquals(frames.size() - 1, byNumber.lastKey());
    assertEquals(1, frames.stream().filter(e -> e.frame().isIdr()).count());

    ByteArrayOutputStream stream = new ByteArrayOutputStream();
    for (Encoded encoded : byNumber.values()) {
      stream.write(encoded.frame().data());
    }
    Path dir = FfmpegTool.workDir("shared-encoder");
    Path h264 = dir.resolve("shared.h264");
    Files.write(h264, stream.toByteArray());
    byte[] decoded = FfmpegTool.decodeToI420(h264, dir.resolve("shared.yuv"));
    int size = I420Picture.packedSize(WIDTH, HEIGHT);
    assertEquals(frames.size() * size, decoded.length, "ffmpeg decodes every picture");
    int position = 0;
    for (Encoded encoded : byNumber.values()) {
      byte[] source = TestPictures.movingPattern(WIDTH, HEIGHT, encoded.source());
      double psnr = FfmpegTool.psnr(decoded, position * size, source, 0, size);
      assertTrue(psnr > 30, "decoded picture " + position + " at " + psnr + " dB");
      position++;
    }
  }
}
