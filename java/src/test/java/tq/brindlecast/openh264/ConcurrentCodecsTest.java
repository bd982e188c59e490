package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.ByteBuffer;
import java.security.MessageDigest;
import java.util.ArrayList;
import java.util.HexFormat;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * Eight threads, each with its own encoder and decoder and settings of its own, make exactly the
 * bytes and pictures that the same work makes when done one thread after another.
 */
class ConcurrentCodecsTest {
  private static final int THREADS = 8;
  private static final int PICTURES = 300;

  /** Thread t's settings; they differ from thread to thread, so crossed wires would show. */
  private static H264Encoder encoder(int t, MessageListener listener) {
    EncoderConfig config =
        new EncoderConfig()
            .setEnableFrameSkip(false)
            .setRcMode(t % 3 == 0 ? RateControlMode.BITRATE : RateControlMode.QUALITY)
            .setEntropyCodingModeFlag(t % 2 == 1)
            .setIntraPeriod(30 + t);
    if (t % 4 == 2) {
      // OpenH264's own threads, from the pool all encoders share.
      config.setMultipleThreadIdc(2).setUseLoadBalancing(false);
    }
    SpatialLayerConfig layer = new SpatialLayerConfig().setFrameRate(config.getMaxFrameRate());
    if (t % 4 == 3) {
      layer.setSliceMode(SliceMode.FIXED_SLICE_NUMBER).setSliceNum(2);
    }
    H264Encoder encoder = new H264Encoder(config, List.of(layer), listener);
    encoder.setBitrate(150 + 50 * t);
    return encoder;
  }

  /** Encodes and decodes thread t's pictures; returns a digest of every byte and picture. */
  private static String work(int t) throws Exception {
    int width = 96 + 32 * (t % 3);
    int height = 64 + 16 * (t % 2);
    MessageDigest digest = MessageDigest.getInstance("SHA-256");
    RecordingListener listener = new RecordingListener();
    try (H264Encoder encoder = encoder(t, listener);
        H264Decoder decoder = new H264Decoder(new DecoderConfig(), listener)) {
      int pictures = 0;
      for (int i = 0; i < PICTURES; i++) {
        if (i % 100 == 99) {
          encoder.requestKeyFrame();
        }
        byte[] data = encoder.encode(H264EncoderTest.picture(width, height, 1000 * t + i)).data();
        digest.update(data);
        DecodedPicture picture = decoder.decode(data);
        if (picture != null) {
          digest.update(picture.toPackedI420());
          pictures++;
        }
      }
      for (DecodedPicture held; (held = decoder.drain()) != null; pictures++) {
        digest.update(held.toPackedI420());
      }
      assertEquals(PICTURES, pictures, "thread " + t + " decoded every picture");
    }
    assertEquals(List.of(), listener.errors);
    digest.update(ByteBuffer.allocate(8).putInt(width).putInt(height).array());
    return HexFormat.of().formatHex(digest.digest());
  }

  @Test
  void eightThreadsMakeWhatOneThreadMakes() throws Exception {
    List<String> sequential = new ArrayList<>();
    for (int t = 0; t < THREADS; t++) {
      sequential.add(work(t));
    }
    String[] concurrent = new String[THREADS];
    Together.run(THREADS, thread -> concurrent[thread] = work(thread));
    assertEquals(sequential, List.of(concurrent));
  }
}
