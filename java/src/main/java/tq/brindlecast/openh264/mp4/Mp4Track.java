package tq.brindlecast.openh264.mp4;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Objects;

/**
 * The H.264 video track of an MP4 file: its picture size and codec settings, and its samples in
 * decode order with their presentation times. Times are counted in {@link #timescale()} ticks a
 * second.
 *
 * <p>The pictures are the samples the edit list shows (presentation time 0 or later), in
 * presentation order; picture <i>n</i> is shown from its presentation time until the next
 * picture's (the last for its sample's duration). Samples keep their times in the file; {@link
 * #pictureAt} and {@link #duration()} count from the first picture, as ffmpeg's {@code -ss} and
 * durations do: a track whose first picture comes after 0 (B-frames without an edit list) starts
 * with it.
 */
public final class Mp4Track {
  private final MovieBoxParser.VideoTrack track;
  private final SampleTable samples;
  private final boolean fragmented;
  /** Decode indices of the shown samples, in presentation order. */
  private final int[] pictures;
  /** The first picture's time in the file, which counts as 0. */
  private final long origin;

  Mp4Track(MovieBoxParser.VideoTrack track, boolean fragmented) {
    this.track = track;
    this.samples = track.samples();
    this.fragmented = fragmented;
    int[] shown = new int[samples.count()];
    int count = 0;
    for (int i = 0; i < samples.count(); i++) {
      if (presentationTime(i) >= 0) {
        shown[count++] = i;
      }
    }
    this.pictures = Arrays.copyOf(shown, count);
    sortByPresentationTime(pictures, new int[count], 0, count);
    this.origin = count == 0 ? 0 : presentationTime(pictures[0]);
  }

  /** A stable merge sort of sample indices, without boxing a table that may be millions long. */
  private void sortByPresentationTime(int[] indices, int[] spare, int from, int to) {
    if (to - from < 2) {
      return;
    }
    int middle = (from + to) >>> 1;
    sortByPresentationTime(indices, spare, from, middle);
    sortByPresentationTime(indices, spare, middle, to);
    if (presentationTime(indices[middle - 1]) <= presentationTime(indices[middle])) {
      return; // already in order, as samples without reordering always are
    }
    System.arraycopy(indices, from, spare, from, to - from);
    for (int i = from, left = from, right = middle; i < to; i++) {
      boolean takeLeft = right >= to
          || left < middle && presentationTime(spare[left]) <= presentationTime(spare[right]);
      indices[i] = takeLeft ? spare[left++] : spare[right++];
    }
  }

  /** {@return the track's ID in the file} */
  public int trackId() {
    return track.trackId();
  }

  /**
   * {@return how players turn the pictures for display, from the track's matrix: the pictures
   * themselves are stored and decoded unturned}
   */
  public Orientation orientation() {
    return track.orientation();
  }

  /** {@return the sample entry's four-character code: "avc1" or "avc3"} */
  public String codec() {
    return entry().codec();
  }

  /** {@return the picture width the sample entry declares, in pixels} */
  public int width() {
    return entry().width();
  }

  /** {@return the picture height the sample entry declares, in pixels} */
  public int height() {
    return entry().height();
  }

  /** {@return the profile_idc byte of the avcC record (66 Baseline, 77 Main, 100 High...)} */
  public int profileIdc() {
    return entry().profileIdc();
  }

  /** {@return the profile compatibility byte of the avcC record (the constraint flags)} */
  public int profileCompatibility() {
    return entry().profileCompatibility();
  }

  /** {@return the level_idc byte of the avcC record (31 for level 3.1)} */
  public int levelIdc() {
    return entry().levelIdc();
  }

  /** {@return how many bytes precede each NAL unit in a sample: 1, 2 or 4} */
  public int nalLengthSize() {
    return entry().nalLengthSize();
  }

  /** {@return the sequence parameter sets of the avcC record, without start codes (copies)} */
  public List<byte[]> sequenceParameterSets() {
    return copies(entry().sequenceParameterSets());
  }

  /** {@return the picture parameter sets of the avcC record, without start codes (copies)} */
  public List<byte[]> pictureParameterSets() {
    return copies(entry().pictureParameterSets());
  }

  /**
   * {@return the {@code matrix_coefficients} code of the sample entry's {@code colr} box (1
   * BT.709, 5 and 6 BT.601, 2 unspecified), or -1 when it has none}
   */
  public int colourMatrix() {
    return entry().colourMatrix();
  }

  /** {@return the full-range flag of the sample entry's {@code colr} box; false without one} */
  public boolean colourFullRange() {
    return entry().colourFullRange();
  }

  /** {@return ticks per second of the track's times} */
  public long timescale() {
    return track.timescale();
  }

  /** {@return whether samples came from movie fragments ({@code moof})} */
  public boolean fragmented() {
    return fragmented;
  }

  /**
   * {@return the samples the file's tables list whose bytes are not all in the file, a file cut
   * short: they are left out, as is every sample after the first of them; 0 for a whole file}
   */
  public long missingSamples() {
    return samples.missingSamples();
  }

  /** {@return how many bytes the file's last box claims beyond the file's end; 0 if none} */
  public long missingBytes() {
    return samples.missingBytes();
  }

  /** {@return the number of samples} */
  public int sampleCount() {
    return samples.count();
  }

  /**
   * {@return a sample}
   *
   * @param index its place in decode order, from 0
   * @throws IndexOutOfBoundsException if there is no such sample
   */
  public Mp4Sample sample(int index) {
    Objects.checkIndex(index, samples.count());
    return new Mp4Sample(index, samples.offset(index), samples.size(index),
        samples.decodeTime(index), presentationTime(index), samples.duration(index),
        samples.sync(index));
  }

  /**
   * {@return the last sync sample at or before a sample in decode order, where decoding must start
   * to reach it, or -1 when there is none}
   *
   * @param index the sample's place in decode order, from 0
   * @throws IndexOutOfBoundsException if there is no such sample
   */
  public int syncSampleAtOrBefore(int index) {
    Objects.checkIndex(index, samples.count());
    for (int i = index; i >= 0; i--) {
      if (samples.sync(i)) {
        return i;
      }
    }
    return -1;
  }

  /** {@return the number of pictures shown: samples the edit list does not leave out} */
  public int pictureCount() {
    return pictures.length;
  }

  /**
   * {@return the sample of the n-th picture shown}
   *
   * @param n its place in presentation order, from 0
   * @throws IndexOutOfBoundsException if there is no such picture
   */
  public Mp4Sample picture(int n) {
    Objects.checkIndex(n, pictures.length);
    return sample(pictures[n]);
  }

  /**
   * {@return the place in presentation order of the picture shown at a time: the last picture whose
   * presentation time is not after it, or -1 when the time is before the first picture or after the
   * last one ends}
   *
   * @param time the time in ticks from the first picture
   */
  public int pictureAt(long time) {
    if (time < 0 || time > Long.MAX_VALUE - origin) {
      return -1;
    }
    time += origin;
    int low = 0;
    int high = pictures.length - 1;
    int found = -1;
    while (low <= high) {
      int middle = (low + high) >>> 1;
      if (presentationTime(pictures[middle]) <= time) {
        found = middle;
        low = middle + 1;
      } else {
        high = middle - 1;
      }
    }
    return found < 0 || time >= end(found) ? -1 : found;
  }

  /**
   * {@return the presentation's duration in ticks: from the first picture's time to the end of the
   * last}
   */
  public long duration() {
    return pictures.length == 0 ? 0 : end(pictures.length - 1) - origin;
  }

  /**
   * Converts ticks to seconds.
   *
   * @param ticks a time in ticks
   * @return the time in seconds
   */
  public double toSeconds(long ticks) {
    return (double) ticks / track.timescale();
  }

  /**
   * Converts seconds to ticks, rounding down.
   *
   * @param seconds a time in seconds
   * @return the time in ticks
   */
  public long toTicks(double seconds) {
    return (long) Math.floor(seconds * track.timescale());
  }

  @Override
  public String toString() {
    return "Mp4Track[" + codec() + " " + width() + "x" + height() + ", profile " + profileIdc()
        + ", level " + levelIdc() + ", " + sampleCount() + " samples, "
        + toSeconds(duration()) + " s]";
  }

  /** When picture n stops being shown. */
  private long end(int n) {
    if (n + 1 < pictures.length) {
      return presentationTime(pictures[n + 1]);
    }
    return presentationTime(pictures[n]) + Math.max(1, samples.duration(pictures[n]));
  }

  private long presentationTime(int index) {
    return samples.decodeTime(index) + samples.compositionOffset(index)
        + track.presentationShift();
  }

  AvcSampleEntry entry() {
    return track.entries().get(0);
  }

  AvcSampleEntry entry(int index) {
    return track.entries().get(samples.description(index) - 1);
  }

  int description(int index) {
    return samples.description(index);
  }

  private static List<byte[]> copies(List<byte[]> sets) {
    List<byte[]> copies = new ArrayList<>();
    for (byte[] set : sets) {
      copies.add(Arrays.copyOf(set, set.length));
    }
    return copies;
  }
}
