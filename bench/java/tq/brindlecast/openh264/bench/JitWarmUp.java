package tq.brindlecast.openh264.bench;

import java.io.IOException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/**
 * Runs each side on small pictures until the JIT has compiled its loop and the library's Java
 * code with its top tier, as in an application that has been encoding or decoding for a while.
 * One pass of full-size pictures calls that code a few dozen times, too few for the JIT: the loop
 * that calls the natives would stay in the interpreter and the library's methods at the tier that
 * still gathers profiles.
 */
final class JitWarmUp {
  /** Calls of each side's per-picture code, well past the JIT's top-tier thresholds. */
  static final int CALLS = 20_000;

  private static final int SIZE = 64;
  private static final int PICTURES = 10;
  private static final int BITRATE = 64;

  private JitWarmUp() {}

  /** Warms up encoding sides of the same kinds as {@code options} names. */
  static void encoding(BenchOptions options) throws IOException {
    warm(BenchMain.encodeSides(smallOptions(options), pictures()));
  }

  /**
   * Warms up decoding sides of the same kinds as {@code options} names, but for the "mp4-images" ones,
   * which reads its file and spends its time in native code.
   */
  static void decoding(BenchOptions options) throws IOException {
    List<String> names = new ArrayList<>(
        options.sidesOr(List.of("jni", "api", "api-reuse")));
    names.removeIf(name -> name.startsWith("mp4-images"));
    if (names.isEmpty()) {
      return;
    }
    BenchOptions small = new BenchOptions(options.op(), options.width(), options.height(),
        options.input(), options.sizes(), null, 0, 0, 0, names, null, null, false, null);
    warm(BenchMain.decodeSides(small, accessUnits()));
  }

  private static void warm(List<BenchSide> sides) throws IOException {
    try {
      for (BenchSide side : sides) {
        for (int calls = 0; calls < CALLS; calls += PICTURES) {
          side.pass(null);
        }
      }
    } finally {
      sides.forEach(BenchSide::close);
    }
  }

  private static BenchOptions smallOptions(BenchOptions options) {
    return new BenchOptions(
        options.op(), SIZE, SIZE, null, null, null, PICTURES, BITRATE, 0, options.sides(), null,
        null, false, null);
  }

  /** Packed I420 pictures of a moving gradient. */
  private static List<byte[]> pictures() {
    List<byte[]> pictures = new ArrayList<>();
    int luma = SIZE * SIZE;
    for (int t = 0; t < PICTURES; t++) {
      byte[] data = new byte[I420Picture.packedSize(SIZE, SIZE)];
      for (int y = 0; y < SIZE; y++) {
        for (int x = 0; x < SIZE; x++) {
          data[y * SIZE + x] = (byte) (x + 2 * y + 3 * t);
        }
      }
      Arrays.fill(data, luma, data.length, (byte) (128 + t));
      pictures.add(data);
    }
    return pictures;
  }

  /** The pictures above encoded by the library, one access unit each. */
  private static List<byte[]> accessUnits() {
    List<byte[]> units = new ArrayList<>();
    try (H264Encoder encoder = new H264Encoder(EncodeSides.config())) {
      encoder.setBitrate(BITRATE);
      for (byte[] packed : pictures()) {
        EncodedFrame frame = encoder.encode(I420Picture.fromPacked(packed, SIZE, SIZE));
        if (frame != null) {
          units.add(Arrays.copyOf(frame.data(), frame.size()));
        }
      }
    }
    return units;
  }
}
