package tq.brindlecast.openh264.bench;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.mp4.Mp4Reader;

/**
 * What reading an MP4 file adds to decoding it: one side decodes the video track's samples as
 * {@link Mp4Reader} reads them from the file (opening and parsing it included), the other decodes
 * the very same access units from memory. Both go through the same decoder, hand each picture's
 * array back to it and drain at the end of a pass; their passes alternate, the side that goes
 * first swapping from pair to pair. Each pass prints one line; the last line gives the medians and
 * the median of the pairs' time ratios (mp4 / annexb). After each pair the file is also read
 * without decoding, and that time over the annexb pass's is the reader's share ({@code
 * read_share}), a figure the machine's noise moves far less than the ratio of two decoding passes.
 * A third side, "mp4-memory", reads the same file from a copy in memory ({@link Mp4Reader#of}),
 * without a system call per sample, and follows each pair.
 *
 * <p>Usage: {@code Mp4ReadBench FILE.mp4 PASSES [WARM-UP.mp4]}; the warm-up file (small
 * pictures) is read and decoded until the JIT has compiled both loops.
 */
public final class Mp4ReadBench {
  private Mp4ReadBench() {}

  public static void main(String[] args) throws IOException {
    if (args.length < 2) {
      System.err.println("usage: Mp4ReadBench FILE.mp4 PASSES [WARM-UP.mp4]");
      System.exit(2);
    }
    Path file = Path.of(args[0]);
    int passes = Integer.parseInt(args[1]);
    if (args.length > 2) {
      warmUp(Path.of(args[2]));
    }
    List<byte[]> units = accessUnits(file);
    // One decoder for both sides: two decoders' memory can lie differently in the caches and
    // make one side faster by a few percent for the whole run.
    try (H264Decoder decoder = new H264Decoder()) {
      Side annexB = new Side("annexb", decoder, units, null);
      Side mp4 = new Side("mp4", decoder, null, file);
      Side mp4Memory = new Side("mp4-memory", decoder, null, file);
      mp4Memory.fileBytes = Files.readAllBytes(file);
      int expected = annexB.pass();
      if (mp4.pass() != expected) {
        throw new IllegalStateException("the two sides decode different numbers of pictures");
      }
      double[] ratios = new double[passes];
      double[] annexBSeconds = new double[passes];
      double[] mp4Seconds = new double[passes];
      double[] readShares = new double[passes];
      double[] readSeconds = new double[passes];
      double[] memoryRatios = new double[passes];
      for (int pass = 0; pass < passes; pass++) {
        boolean mp4First = pass % 2 == 1;
        if (mp4First) {
          mp4Seconds[pass] = mp4.timed(pass, expected);
        }
        annexBSeconds[pass] = annexB.timed(pass, expected);
        if (!mp4First) {
          mp4Seconds[pass] = mp4.timed(pass, expected);
        }
        ratios[pass] = mp4Seconds[pass] / annexBSeconds[pass];
        memoryRatios[pass] = mp4Memory.timed(pass, expected) / annexBSeconds[pass];
        readSeconds[pass] = readOnly(file);
        readShares[pass] = readSeconds[pass] / annexBSeconds[pass];
      }
      System.out.printf(
          Locale.ROOT,
          "summary pictures=%d annexb_fps=%.1f mp4_fps=%.1f ratio_median=%.4f ratio_low=%.4f"
              + " ratio_high=%.4f read_us_per_picture=%.1f read_share_median=%.5f"
              + " memory_ratio_median=%.4f%n",
          expected, expected / median(annexBSeconds), expected / median(mp4Seconds),
          median(ratios), Arrays.stream(ratios).min().orElse(0),
          Arrays.stream(ratios).max().orElse(0), median(readSeconds) * 1e6 / expected,
          median(readShares), median(memoryRatios));
    }
  }

  /**
   * Opens the file and reads every sample without decoding: the reader's whole cost, measured on
   * its own because the machine's noise over a decoding pass is larger than that cost.
   */
  private static double readOnly(Path file) throws IOException {
    long start = System.nanoTime();
    long bytes = 0;
    try (Mp4Reader reader = Mp4Reader.open(file)) {
      for (int i = 0; i < reader.videoTrack().sampleCount(); i++) {
        bytes += reader.readSample(i).length;
      }
    }
    double seconds = (System.nanoTime() - start) * 1e-9;
    System.out.printf(
        Locale.ROOT, "read-only bytes=%d seconds=%.6f%n", bytes, seconds);
    return seconds;
  }

  /** The samples of the file's video track as the reader returns them, held in memory. */
  private static List<byte[]> accessUnits(Path file) throws IOException {
    List<byte[]> units = new ArrayList<>();
    try (Mp4Reader reader = Mp4Reader.open(file)) {
      for (int i = 0; i < reader.videoTrack().sampleCount(); i++) {
        units.add(reader.readSample(i));
      }
    }
    return units;
  }

  private static void warmUp(Path small) throws IOException {
    List<byte[]> units = accessUnits(small);
    try (H264Decoder decoder = new H264Decoder()) {
      Side annexB = new Side("annexb", decoder, units, null);
      Side mp4 = new Side("mp4", decoder, null, small);
      for (int calls = 0; calls < JitWarmUp.CALLS; calls += units.size()) {
        annexB.pass();
        mp4.pass();
      }
    }
  }

  /** Decodes either the units in memory or the file's samples through a reader. */
  private static final class Side {
    private final String name;
    private final H264Decoder decoder;
    private final List<byte[]> units;
    private final Path file;
    /** The file's bytes, to read it from memory ({@link Mp4Reader#of}) rather than the file. */
    byte[] fileBytes;
    private byte[] output;

    Side(String name, H264Decoder decoder, List<byte[]> units, Path file) {
      this.name = name;
      this.decoder = decoder;
      this.units = units;
      this.file = file;
    }

    double timed(int pass, int expected) throws IOException {
      long start = System.nanoTime();
      int pictures = pass();
      double seconds = (System.nanoTime() - start) * 1e-9;
      if (pictures != expected) {
        throw new IllegalStateException(name + " decoded " + pictures + " of " + expected);
      }
      System.out.printf(
          Locale.ROOT, "pass side=%s pass=%d pictures=%d seconds=%.6f fps=%.3f%n",
          name, pass + 1, pictures, seconds, pictures / seconds);
      return seconds;
    }

    int pass() throws IOException {
      int pictures = 0;
      if (units != null) {
        for (byte[] unit : units) {
          pictures += take(decoder.decode(unit, 0, unit.length, output));
        }
      } else {
        try (Mp4Reader reader =
            fileBytes == null ? Mp4Reader.open(file) : Mp4Reader.of(fileBytes)) {
          for (int i = 0; i < reader.videoTrack().sampleCount(); i++) {
            byte[] unit = reader.readSample(i);
            pictures += take(decoder.decode(unit, 0, unit.length, output));
          }
        }
      }
      while (take(decoder.drain()) > 0) {
        pictures++;
      }
      return pictures;
    }

    private int take(DecodedPicture picture) {
      if (picture == null) {
        return 0;
      }
      output = picture.data();
      return 1;
    }
  }

  private static double median(double[] values) {
    double[] sorted = values.clone();
    Arrays.sort(sorted);
    int n = sorted.length;
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }
}
