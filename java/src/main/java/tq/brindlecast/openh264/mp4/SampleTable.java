package tq.brindlecast.openh264.mp4;

import java.util.Arrays;

/**
 * The samples of a track in decode order, in parallel arrays that grow as fragments add samples.
 * Every sample lies inside the file, and there are never more samples than the file has bytes,
 * so no field of the file can make these arrays larger than the file itself warrants.
 */
final class SampleTable {
  private final long fileSize;
  private int count;
  private long[] offsets = new long[16];
  private int[] sizes = new int[16];
  private long[] decodeTimes = new long[16];
  private int[] compositionOffsets = new int[16];
  private long[] durations = new long[16];
  private boolean[] sync = new boolean[16];
  private int[] descriptions = new int[16];

  SampleTable(long fileSize) {
    this.fileSize = fileSize;
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
      int capacity = (int) Math.min(Integer.MAX_VALUE - 8, Math.max(16, count * 2L));
      offsets = Arrays.copyOf(offsets, capacity);
      sizes = Arrays.copyOf(sizes, capacity);
      decodeTimes = Arrays.copyOf(decodeTimes, capacity);
      compositionOffsets = Arrays.copyOf(compositionOffsets, capacity);
      durations = Arrays.copyOf(durations, capacity);
      sync = Arrays.copyOf(sync, capacity);
      descriptions = Arrays.copyOf(descriptions, capacity);
    }
    offsets[count] = offset;
    sizes[count] = size;
    decodeTimes[count] = decodeTime;
    compositionOffsets[count] = compositionOffset;
    durations[count] = duration;
    sync[count] = isSync;
    descriptions[count] = description;
    count++;
  }

  /** Drops the samples from {@code newCount} on: a fragment that turned out to be cut short. */
  void truncate(int newCount) {
    count = Math.min(count, newCount);
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
    return compositionOffsets[i];
  }

  long duration(int i) {
    return durations[i];
  }

  boolean sync(int i) {
    return sync[i];
  }

  /** The sample description (sample entry) the sample uses, from 1. */
  int description(int i) {
    return descriptions[i];
  }

  /** The decode time after the last sample. */
  long decodeEnd() {
    return count == 0 ? 0 : decodeTimes[count - 1] + durations[count - 1];
  }
}
