package tq.brindlecast.openh264.mp4;

import java.util.Arrays;

/**
 * The samples of a track in decode order, in parallel primitive arrays that grow as fragments add
 * samples. Every sample lies inside the file, and there are never more samples than the file has
 * bytes. A sample costs 24 bytes (offset, size, decode time, duration) and a bit for sync; the
 * composition offsets and sample descriptions take memory only when a sample needs them, so a
 * file of one-byte samples stays within a small multiple of its size whatever its tables claim.
 */
final class SampleTable {
  private static final int INITIAL = 16;

  private final long fileSize;
  private int count;
  /** Samples the tables list whose bytes the file does not hold, and bytes its last box lacks. */
  private long missingSamples;
  private long missingBytes;
  private long[] offsets;
  private int[] sizes;
  private long[] decodeTimes;
  /** Unsigned 32-bit durations, as stts and trun store them. */
  private int[] durations;
  private long[] sync;
  /** Null while every offset is 0. */
  private int[] compositionOffsets;
  /** Null while every sample uses description 1. */
  private int[] descriptions;

  SampleTable(long fileSize) {
    this(fileSize, INITIAL);
  }

  /** A table with room for {@code expected} samples, at most one per byte of the file. */
  SampleTable(long fileSize, long expected) {
    this.fileSize = fileSize;
    int capacity = (int) Math.max(1, Math.min(expected, Math.min(fileSize, Integer.MAX_VALUE - 8)));
    offsets = new long[capacity];
    sizes = new int[capacity];
    decodeTimes = new long[capacity];
    durations = new int[capacity];
    sync = new long[(capacity + 63) / 64];
  }

  long fileSize() {
    return fileSize;
  }

  int count() {
    return count;
  }

  /** Whether a sample of {@code size} bytes at {@code offset} lies inside the file. */
  boolean fits(long offset, long size) {
    return offset >= 0 && size >= 0 && size <= fileSize && offset <= fileSize - size;
  }

  /** Adds a sample; the caller has checked that it {@link #fits}. */
  void add(long offset, int size, long decodeTime, int compositionOffset, long duration,
      boolean isSync, int description) throws Mp4FormatException {
    if (count >= fileSize) {
      throw new Mp4FormatException(
          "the track lists more samples than the file has bytes (" + fileSize + ")");
    }
    if (count == offsets.length) {
      grow((int) Math.min(Integer.MAX_VALUE - 8, Math.max(INITIAL, count * 2L)));
    }
    offsets[count] = offset;
    sizes[count] = size;
    decodeTimes[count] = decodeTime;
    durations[count] = (int) duration;
    if (isSync) {
      sync[count >> 6] |= 1L << count;
    }
    if (compositionOffset != 0 && compositionOffsets == null) {
      compositionOffsets = new int[offsets.length];
    }
    if (compositionOffsets != null) {
      compositionOffsets[count] = compositionOffset;
    }
    if (description != 1 && descriptions == null) {
      descriptions = new int[offsets.length];
      Arrays.fill(descriptions, 0, count, 1);
    }
    if (descriptions != null) {
      descriptions[count] = description;
    }
    count++;
  }

  private void grow(int capacity) {
    offsets = Arrays.copyOf(offsets, capacity);
    sizes = Arrays.copyOf(sizes, capacity);
    decodeTimes = Arrays.copyOf(decodeTimes, capacity);
    durations = Arrays.copyOf(durations, capacity);
    sync = Arrays.copyOf(sync, (capacity + 63) / 64);
    compositionOffsets =
        compositionOffsets == null ? null : Arrays.copyOf(compositionOffsets, capacity);
    descriptions = descriptions == null ? null : Arrays.copyOf(descriptions, capacity);
  }

  /** Counts samples the tables list but the file, cut short, does not hold. */
  void addMissing(long samplesLost) {
    missingSamples += samplesLost;
  }

  long missingSamples() {
    return missingSamples;
  }

  /** Records how many bytes the file's last box claims beyond the end of the file. */
  void setMissingBytes(long bytes) {
    missingBytes = bytes;
  }

  long missingBytes() {
    return missingBytes;
  }

  long offset(int i) {
    return offsets[i];
  }

  int size(int i) {
    return sizes[i];
  }

  long decodeTime(int i) {
    return decodeTimes[i];
  }

  int compositionOffset(int i) {
    return compositionOffsets == null ? 0 : compositionOffsets[i];
  }

  long duration(int i) {
    return Integer.toUnsignedLong(durations[i]);
  }

  boolean sync(int i) {
    return (sync[i >> 6] & 1L << i) != 0;
  }

  /** The sample description (sample entry) the sample uses, from 1. */
  int description(int i) {
    return descriptions == null ? 1 : descriptions[i];
  }

  /** The decode time after the last sample. */
  long decodeEnd() {
    return count == 0 ? 0 : decodeTimes[count - 1] + duration(count - 1);
  }
}
