package tq.brindlecast.openh264.soak;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Random;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.RateControlMode;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/**
 * Encodes and decodes many small pictures through the Java API in short sessions, each with an
 * encoder and a decoder of its own that are closed at its end, and watches resident memory: after
 * a warm-up its growth must stay under a limit.
 *
 * <pre>
 * java -Xms64m -Xmx64m -XX:+AlwaysPreTouch -XX:+UseSerialGC -XX:TieredStopAtLevel=1 \
 *     -cp tqh264bridge.jar:tqh264bridge-soak.jar tq.brindlecast.openh264.soak.Soak \
 *     [--pictures 20000] [--sessions 2000] [--limit-kib 2048]
 * </pre>
 *
 * <p>A heap of fixed size touched in advance keeps the Java heap out of the figure, and leaving
 * out the optimising compiler keeps its working memory out. Sessions
 * cycle through picture sizes, entropy coders and run-time changes (key-frame requests, bit rate,
 * configuration, a size change that rebuilds the encoder), decode every other session into
 * arrays handed back, and end with damaged input. Every picture must come back. Growth over the
 * limit fails only when the same work done again grows by the limit too: a leak repeats, a
 * one-time step of the allocator does not.
 *
 * <p>Exit status: 0 within the limit, 1 over it or a picture lost, 2 bad arguments, 77 when this
 * system has no {@code /proc/self/status} to read resident memory from.
 */
public final class Soak {
  private static final int[][] SIZES = {{176, 144}, {96, 64}, {128, 96}};
  private static final int WARM_UP_PERCENT = 10;
  private static final Path STATUS = Path.of("/proc/self/status");

  private final Random random = new Random(1);
  private final List<List<I420Picture>> pictures;
  private int contexts;
  private int decoded;

  private Soak() {
    pictures = List.of(patterns(SIZES[0]), patterns(SIZES[1]), patterns(SIZES[2]));
  }

  public static void main(String[] args) throws Exception {
    System.exit(run(args));
  }

  private static int run(String[] args) throws Exception {
    int pictureCount = 20_000;
    int sessions = 2_000;
    long limitKib = 2048;
    try {
      for (int i = 0; i < args.length; i += 2) {
        String value = args[i + 1];
        switch (args[i]) {
          case "--pictures" -> pictureCount = Integer.parseInt(value);
          case "--sessions" -> sessions = Integer.parseInt(value);
          case "--limit-kib" -> limitKib = Long.parseLong(value);
          default -> throw new IllegalArgumentException("unknown option " + args[i]);
        }
      }
      if (sessions < 10 || pictureCount < 2 * sessions) {
        throw new IllegalArgumentException("needs at least 10 sessions of 2 pictures each");
      }
    } catch (RuntimeException bad) {
      System.err.println("soak: " + bad.getMessage()
          + "\nusage: Soak [--pictures N] [--sessions N] [--limit-kib N]");
      return 2;
    }
    if (!Files.isReadable(STATUS)) {
      System.out.println("soak: skipped, no " + STATUS + " to read resident memory from");
      return 77;
    }
    return new Soak().soak(pictureCount, sessions, limitKib);
  }

  private int soak(int pictureCount, int sessions, long limitKib) throws Exception {
    long start = System.nanoTime();
    int warmUpSessions = sessions * WARM_UP_PERCENT / 100;
    long warmRss = 0;
    for (int s = 0; s < sessions; s++) {
      session(s, picturesOf(pictureCount, sessions, s));
      if (s + 1 == warmUpSessions) {
        warmRss = residentKib();
        System.out.printf("after warm-up: %,d pictures, %,d contexts, resident %,d KiB%n",
            share(pictureCount, sessions, s + 1), contexts, warmRss);
      } else if ((s + 1) % (sessions / 10) == 0) {
        System.out.printf("%,d pictures, %,d contexts, resident %,d KiB%n",
            share(pictureCount, sessions, s + 1), contexts, residentKib());
      }
    }
    long endRss = residentKib();
    long growth = endRss - warmRss;
    double seconds = (System.nanoTime() - start) / 1e9;
    System.out.printf("soak: %,d pictures encoded and decoded in %,d sessions (%,d contexts),"
        + " %.1f s%n", pictureCount, sessions, contexts, seconds);
    System.out.printf("resident: %,d KiB after warm-up, %,d KiB at the end, growth %,d KiB"
        + " (limit %,d KiB)%n", warmRss, endRss, growth, limitKib);
    if (growth < limitKib) {
      return 0;
    }
    // A leak grows with the work done; a one-time step (the allocator keeping a hole below
    // memory that a JVM thread took at the top of its heap) does not come back. The same work
    // again tells them apart.
    for (int s = sessions; s < 2 * sessions - warmUpSessions; s++) {
      session(s, picturesOf(pictureCount, sessions, s % sessions));
    }
    long againRss = residentKib();
    long again = againRss - endRss;
    System.out.printf("resident: %,d KiB after the same work again, growth %,d KiB%n",
        againRss, again);
    if (again >= limitKib) {
      System.out.println("soak: FAILED, resident memory grew by more than the limit, twice");
      return 1;
    }
    System.out.println("soak: the growth was a one-time step: the same work again grew "
        + String.format("%,d KiB", again));
    return 0;
  }

  /** The pictures of one session: they spread over the sessions as evenly as whole numbers allow. */
  private static int picturesOf(int pictureCount, int sessions, int session) {
    return share(pictureCount, sessions, session + 1) - share(pictureCount, sessions, session);
  }

  private static int share(int total, int parts, int part) {
    return (int) ((long) total * part / parts);
  }

  /** One encoder and one decoder through `count` pictures, then damaged input, then closed. */
  private void session(int index, int count) {
    int sizeIndex = index % SIZES.length;
    EncoderConfig config =
        new EncoderConfig()
            .setRcMode(RateControlMode.BITRATE)
            .setEnableFrameSkip(false)
            .setEntropyCodingModeFlag(index % 2 == 1);
    boolean reuse = index % 2 == 0;
    decoded = 0;
    try (H264Encoder encoder = new H264Encoder(config);
        H264Decoder decoder = new H264Decoder(new DecoderConfig(), null)) {
      contexts += 2;
      encoder.setBitrate(200 + 50 * (index % 5));
      byte[] output = null;
      for (int i = 0; i < count; i++) {
        if (i == count / 2) {
          sizeIndex = changeMidway(index, encoder, decoder, sizeIndex);
        }
        I420Picture source = pictures.get(sizeIndex).get((index + i) % 16);
        EncodedFrame frame = encoder.encode(source);
        if (frame == null) {
          throw new IllegalStateException("session " + index + ": picture " + i + " not encoded");
        }
        byte[] data = frame.data();
        DecodedPicture picture = decoder.decode(data, 0, data.length, reuse ? output : null);
        if (picture != null) {
          decoded++;
          output = picture.data();
        }
      }
      drain(decoder);
      byte[] damaged = new byte[64 + random.nextInt(512)];
      random.nextBytes(damaged);
      damaged[0] = 0;
      damaged[1] = 0;
      damaged[2] = 1;
      decoder.decode(damaged);
    }
    if (decoded != count) {
      throw new IllegalStateException(
          "session " + index + ": " + count + " pictures encoded, " + decoded + " decoded");
    }
  }

  /** A run-time change in the middle of a session; returns the picture size to go on with. */
  private int changeMidway(int index, H264Encoder encoder, H264Decoder decoder, int sizeIndex) {
    switch (index % 5) {
      case 0 -> encoder.requestKeyFrame();
      case 1 -> encoder.setBitrate(encoder.getBitrate() + 100);
      case 2 -> encoder.applyConfig(encoder.getConfig().setIntraPeriod(4),
          encoder.getLayerConfigs());
      case 3 -> {
        // OpenH264 2.3.1 drops a picture held back from before a size change.
        drain(decoder);
        return (sizeIndex + 1) % SIZES.length;
      }
      default -> {
        // A fresh OpenH264 decoder waits for an IDR picture.
        drain(decoder);
        decoder.reconfigure(decoder.getConfig());
        encoder.requestKeyFrame();
      }
    }
    return sizeIndex;
  }

  private void drain(H264Decoder decoder) {
    while (decoder.drain() != null) {
      decoded++;
    }
  }

  private static List<I420Picture> patterns(int[] size) {
    int width = size[0];
    int height = size[1];
    return java.util.stream.IntStream.range(0, 16)
        .mapToObj(frame -> {
          byte[] packed = new byte[I420Picture.packedSize(width, height)];
          for (int i = 0; i < packed.length; i++) {
            int x = i % width;
            int y = i / width;
            packed[i] = (byte) ((x + 3 * frame) / 8 % 2 == (y + frame) / 8 % 2 ? 60 + x : 180 - y);
          }
          return I420Picture.fromPacked(packed, width, height);
        })
        .toList();
  }

  /** VmRSS of this process in KiB, read after the garbage collector has run. */
  private static long residentKib() throws IOException, InterruptedException {
    for (int i = 0; i < 2; i++) {
      System.gc();
      Thread.sleep(50);
    }
    for (String line : Files.readAllLines(STATUS)) {
      if (line.startsWith("VmRSS:")) {
        return Long.parseLong(line.replaceAll("[^0-9]", ""));
      }
    }
    throw new IOException("no VmRSS line in " + STATUS);
  }
}
