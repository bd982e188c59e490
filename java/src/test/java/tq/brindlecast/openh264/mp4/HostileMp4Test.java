package tq.brindlecast.openh264.mp4;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTimeoutPreemptively;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;
import static tq.brindlecast.openh264.mp4.Mp4TestFiles.cat;

import java.lang.management.ManagementFactory;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.TreeSet;
import java.util.function.LongUnaryOperator;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;
import tq.brindlecast.openh264.FfmpegTool;

/**
 * Broken and hostile MP4 files: the reader never crashes, hangs, reads past the end or allocates
 * more than the file warrants; it opens the file and reads every sample, or throws an {@link
 * Mp4FormatException} that says what is wrong.
 */
class HostileMp4Test {
  /** No file of a few tens of kilobytes may make the reader allocate more than this per byte. */
  private static final long ALLOCATION_PER_BYTE = 64;

  private static Map<String, byte[]> files;

  @BeforeAll
  static void makeFiles() throws Exception {
    Path dir = FfmpegTool.workDir("mp4-hostile");
    String[] x264 = {"-c:v", "libx264", "-g", "10"};
    files =
        Map.of(
            "faststart", read(Mp4TestFiles.ffmpeg(dir, "faststart",
                cat(x264, "-bf", "0", "-movflags", "+faststart"))),
            "b-frames", read(Mp4TestFiles.ffmpeg(dir, "b-frames", cat(x264, "-bf", "2"))),
            "fragmented", read(Mp4TestFiles.ffmpeg(dir, "fragmented",
                cat(x264, "-bf", "2", "-movflags", "frag_keyframe+empty_moov"))));
  }

  @ParameterizedTest
  @ValueSource(strings = {"faststart", "b-frames", "fragmented"})
  void truncatedAtEveryBoxBoundary(String name) throws Exception {
    byte[] file = files.get(name);
    TreeSet<Integer> cuts = new TreeSet<>(List.of(0, 1, 7));
    for (Mp4TestFiles.Box box : Mp4TestFiles.boxes(file)) {
      cuts.addAll(List.of(box.start(), box.start() + 4, box.payload(), box.end() - 1));
      cuts.add(box.end());
    }
    cuts.remove(file.length);
    List<Mp4Sample> all = samples(file);
    for (int cut : cuts) {
      int read = readAll(Arrays.copyOf(file, cut));
      long whole = all.stream().filter(s -> s.offset() + s.size() <= cut).count();
      if (name.equals("b-frames")) {
        assertEquals(-1, read, "a file cut before its moov at " + cut + " is refused");
      } else if (read >= 0) {
        // A recording cut short: at most the samples whose bytes are all before the cut.
        assertTrue(read > 0 && read <= whole, "cut at " + cut + ": " + read + " of " + whole);
      }
    }
    // Cut inside the last mdat: every sample but the cut ones.
    Mp4TestFiles.Box lastMdat =
        Mp4TestFiles.boxes(file).stream().filter(b -> b.type().equals("mdat")).reduce(
            (a, b) -> b).orElseThrow();
    int cut = lastMdat.end() - 1;
    int beforeLast = readAll(Arrays.copyOf(file, cut));
    long whole = all.stream().filter(s -> s.offset() + s.size() <= cut).count();
    assertEquals(name.equals("b-frames") ? -1 : whole, beforeLast, "samples before the cut");
  }

  @ParameterizedTest
  @ValueSource(longs = {0, 1, 7, 0xFFFFFFFFL, Long.MIN_VALUE})
  void lyingSizeFields(long size) {
    for (String name : List.of("faststart", "fragmented")) {
      byte[] file = files.get(name);
      for (Mp4TestFiles.Box box : Mp4TestFiles.boxes(file)) {
        byte[] lying = file.clone();
        if (size == Long.MIN_VALUE) {
          // 2^63 as a 64-bit size, over the first eight bytes after the type.
          Mp4TestFiles.putU32(lying, box.start(), 1);
          Mp4TestFiles.putS64(lying, box.start() + 8, size);
        } else {
          Mp4TestFiles.putU32(lying, box.start(), size);
        }
        int read = readAll(lying);
        if (size == 7 || size == Long.MIN_VALUE) {
          assertEquals(-1, read, name + ": " + box + " with size " + size);
        }
      }
    }
  }

  /** file, box, where the field is in its payload, the change, part of the message. */
  static Stream<Arguments> disagreeingTables() {
    return Stream.of(
        row("faststart", "stsz", 8, n -> n + 1, "the stsz box"),
        row("faststart", "stsz", 8, n -> n - 1, "disagree: in the stts box"),
        row("faststart", "stts", 8, n -> n + 1, "disagree: in the stts box"),
        row("faststart", "stsc", 8, n -> 2, "disagree: in the stsc box"),
        row("faststart", "stsc", 12, n -> n + 1, "disagree: in the stsc box"),
        row("faststart", "stco", 4, n -> n - 1, "disagree: in the stsc box"),
        row("faststart", "stco", 8, n -> 1L << 30, "lies past the end of the file"),
        row("faststart", "stss", 8, n -> 1000, "disagree: in the stss box"),
        row("b-frames", "ctts", 8, n -> n + 1, "disagree: in the ctts box"),
        row("faststart", "mdhd", 12, n -> 0, "timescale of 0"),
        row("faststart", "avcC", 4, n -> n & ~0x03000000L | 0x02000000L, "lengths of 3 bytes"),
        row("fragmented", "trun", 4, n -> n + 1, "the trun box"),
        row("fragmented", "trun", 8, n -> 0x7FFFFFF0, "outside the file"),
        row("faststart", "mdat", 0, n -> n + 1000, "NAL unit of"));
  }

  @ParameterizedTest(name = "{0} {1} +{2}: {4}")
  @MethodSource("disagreeingTables")
  void refusesSampleTablesThatDisagree(
      String name, String type, int field, LongUnaryOperator change, String message) {
    byte[] file = files.get(name).clone();
    int at = Mp4TestFiles.find(file, type).payload() + field;
    Mp4TestFiles.putU32(file, at, change.applyAsLong(Mp4TestFiles.u32(file, at)));
    Mp4FormatException refused = null;
    try (Mp4Reader reader = Mp4Reader.of(file)) {
      for (int i = 0; i < reader.videoTrack().sampleCount(); i++) {
        reader.readSample(i);
      }
    } catch (Mp4FormatException expected) {
      refused = expected;
    } catch (Exception other) {
      throw new AssertionError(other);
    }
    assertTrue(refused != null && refused.getMessage().contains(message),
        refused == null ? "read without complaint" : refused.getMessage());
  }

  /**
   * Tables that claim a one-byte sample for every byte of a file of this many megabytes: the
   * reader holds them in a small multiple of the file's size, as -Xmx256m needs for 4 MB.
   */
  @ParameterizedTest
  @ValueSource(ints = {1, 4})
  void tablesClaimingASampleForEveryByte(int megabytes) throws Exception {
    byte[] file = oneByteSamples(files.get("b-frames"), megabytes << 20);
    int count = (int) Mp4TestFiles.u32(file, Mp4TestFiles.find(file, "stsz").payload() + 8);
    com.sun.management.ThreadMXBean threads =
        (com.sun.management.ThreadMXBean) ManagementFactory.getThreadMXBean();
    long allocatedBefore = threads.getCurrentThreadAllocatedBytes();
    try (Mp4Reader reader = Mp4Reader.of(file)) {
      long allocated = threads.getCurrentThreadAllocatedBytes() - allocatedBefore;
      assertEquals(count, reader.videoTrack().sampleCount());
      assertEquals(count, reader.videoTrack().pictureCount());
      assertTrue(allocated < 40L * file.length,
          "opening a " + file.length + "-byte file allocated " + allocated + " bytes");
    }
  }

  /**
   * The file (mdat first, moov last) with its mdat grown to {@code bytes} and its tables rewritten
   * in place to one sample of one byte for each of them, all in one chunk.
   */
  private static byte[] oneByteSamples(byte[] original, int bytes) {
    Mp4TestFiles.Box mdat = Mp4TestFiles.find(original, "mdat");
    Mp4TestFiles.Box moov = Mp4TestFiles.find(original, "moov");
    byte[] head = Arrays.copyOf(original, mdat.payload() + bytes);
    Mp4TestFiles.putU32(head, mdat.start(), mdat.headerLength() + bytes);
    byte[] file = Arrays.copyOf(head, head.length + moov.end() - moov.start());
    System.arraycopy(original, moov.start(), file, head.length, moov.end() - moov.start());
    long count = bytes;
    set(file, "stsz", 4, 1, count);
    set(file, "stts", 4, 1, count, 1);
    set(file, "ctts", 4, 1, count, 0);
    set(file, "stsc", 4, 1, 1, count, 1);
    set(file, "stco", 4, 1, mdat.payload());
    set(file, "stss", 4, 0);
    set(file, "elst", 4, 0);
    return file;
  }

  /** Writes 32-bit values into the first box of that type, from {@code field} bytes in. */
  private static void set(byte[] file, String type, int field, long... values) {
    int at = Mp4TestFiles.find(file, type).payload() + field;
    for (long value : values) {
      Mp4TestFiles.putU32(file, at, value);
      at += 4;
    }
  }

  @Test
  void tenThousandMutatedFiles() {
    assertTimeoutPreemptively(Duration.ofMinutes(3), () -> {
      Random random = new Random(12);
      List<String> names = List.of("faststart", "b-frames", "fragmented");
      int[] outcomes = new int[2];
      for (int iteration = 0; iteration < 10_000; iteration++) {
        byte[] file = files.get(names.get(iteration % names.size())).clone();
        List<int[]> metadata = metadataRanges(file);
        for (int change = 1 + random.nextInt(4); change > 0; change--) {
          int[] range = random.nextInt(10) == 0 ? new int[] {0, file.length}
              : metadata.get(random.nextInt(metadata.size()));
          int at = range[0] + random.nextInt(range[1] - range[0]);
          if (random.nextBoolean() || at + 4 > file.length) {
            file[at] = (byte) random.nextInt(256);
          } else {
            long[] values = {0, 1, 7, 8, 0xFFFFFFFFL, 0x7FFFFFFF, 0x80000000L,
                random.nextInt() & 0xFFFFFFFFL};
            Mp4TestFiles.putU32(file, at, values[random.nextInt(values.length)]);
          }
        }
        outcomes[readAll(file) < 0 ? 0 : 1]++;
      }
      assertTrue(outcomes[0] > 100 && outcomes[1] > 100,
          "refused " + outcomes[0] + ", read " + outcomes[1]);
    });
  }

  /**
   * Opens the file and reads every sample. Returns the number of samples, or -1 when the reader
   * refused the file with a message; anything else fails the test.
   */
  private static int readAll(byte[] file) {
    com.sun.management.ThreadMXBean threads =
        (com.sun.management.ThreadMXBean) ManagementFactory.getThreadMXBean();
    long allocatedBefore = threads.getCurrentThreadAllocatedBytes();
    int result;
    try (Mp4Reader reader = Mp4Reader.of(file)) {
      int count = reader.videoTrack().sampleCount();
      for (int i = 0; i < count; i++) {
        reader.readSample(i);
      }
      result = count;
    } catch (Mp4FormatException refused) {
      assertFalse(refused.getMessage() == null || refused.getMessage().isBlank());
      result = -1;
    } catch (Throwable other) {
      fail("a " + file.length + "-byte file made the reader throw " + other, other);
      return -2;
    }
    long allocated = threads.getCurrentThreadAllocatedBytes() - allocatedBefore;
    assertTrue(allocated < ALLOCATION_PER_BYTE * file.length + (1 << 20),
        "reading a " + file.length + "-byte file allocated " + allocated + " bytes");
    return result;
  }

  private static List<Mp4Sample> samples(byte[] file) throws Exception {
    try (Mp4Reader reader = Mp4Reader.of(file)) {
      List<Mp4Sample> samples = new ArrayList<>();
      for (int i = 0; i < reader.videoTrack().sampleCount(); i++) {
        samples.add(reader.videoTrack().sample(i));
      }
      return samples;
    }
  }

  /** The byte ranges of the boxes that describe samples (moov, moof), where mutations bite. */
  private static List<int[]> metadataRanges(byte[] file) {
    List<int[]> ranges = new ArrayList<>();
    for (Mp4TestFiles.Box box : Mp4TestFiles.boxes(file)) {
      if (box.type().equals("moov") || box.type().equals("moof")) {
        ranges.add(new int[] {box.start(), box.end()});
      }
    }
    return ranges;
  }

  private static Arguments row(
      String file, String box, int field, LongUnaryOperator change, String message) {
    return Arguments.of(file, box, field, change, message);
  }

  private static byte[] read(Path path) throws Exception {
    return Files.readAllBytes(path);
  }
}
