package tq.brindlecast.openh264.mp4;

import java.util.Arrays;

/** What the sample tables need of each written sample: size, duration, sync, file offset. */
final class Mp4WriterSamples {
  private int count;
  private int[] sizes = new int[64];
  private int[] durations = new int[64];
  private boolean[] sync = new boolean[64];
  private long[] offsets = new long[64];

  /**
   * Records a sample.
   *
   * @param size its bytes
   * @param duration its duration in track ticks, an unsigned 32-bit value
   * @param isSync whether decoding can start at it
   * @param offset where its bytes start (relative to the caller's base)
   */
  void add(int size, long duration, boolean isSync, long offset) {
    if (count == sizes.length) {
      int grown = count * 2;
      sizes = Arrays.copyOf(sizes, grown);
      durations = Arrays.copyOf(durations, grown);
      sync = Arrays.copyOf(sync, grown);
      offsets = Arrays.copyOf(offsets, grown);
    }
    sizes[count] = size;
    durations[count] = (int) duration;
    sync[count] = isSync;
    offsets[count] = offset;
    count++;
  }

  int count() {
    return count;
  }

  int size(int index) {
    return sizes[index];
  }

  long duration(int index) {
    return durations[index] & 0xFFFFFFFFL;
  }

  boolean isSync(int index) {
    return sync[index];
  }

  long offset(int index) {
    return offsets[index];
  }

  /** The sum of all durations. */
  long totalDuration() {
    long total = 0;
    for (int i = 0; i < count; i++) {
      total += duration(i);
    }
    return total;
  }

  /** The sum of all sizes. */
  long totalSize() {
    long total = 0;
    for (int i = 0; i < count; i++) {
      total += sizes[i];
    }
    return total;
  }

  void clear() {
    count = 0;
  }
}
