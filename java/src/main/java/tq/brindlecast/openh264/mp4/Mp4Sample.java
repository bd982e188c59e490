package tq.brindlecast.openh264.mp4;

import java.util.Objects;

/**
 * One sample of a video track: one access unit, a picture's NAL units. Times are in the track's
 * timescale ({@link Mp4Track#timescale()}).
 */
public final class Mp4Sample {
  private final int index;
  private final long offset;
  private final int size;
  private final long decodeTime;
  private final long presentationTime;
  private final long duration;
  private final boolean sync;

  Mp4Sample(
      int index,
      long offset,
      int size,
      long decodeTime,
      long presentationTime,
      long duration,
      boolean sync) {
    this.index = index;
    this.offset = offset;
    this.size = size;
    this.decodeTime = decodeTime;
    this.presentationTime = presentationTime;
    this.duration = duration;
    this.sync = sync;
  }

  /** {@return the sample's place in decode order, from 0} */
  public int index() {
    return index;
  }

  /** {@return where its bytes start in the file} */
  public long offset() {
    return offset;
  }

  /** {@return how many bytes it has in the file} */
  public int size() {
    return size;
  }

  /** {@return when it is decoded} */
  public long decodeTime() {
    return decodeTime;
  }

  /**
   * {@return when its picture is shown: the decode time plus the composition offset, moved by the
   * track's edit list so that the first picture shown is at 0; pictures the edit list leaves out
   * get negative times}
   */
  public long presentationTime() {
    return presentationTime;
  }

  /** {@return its decode duration, until the next sample's decode time} */
  public long duration() {
    return duration;
  }

  /** {@return whether decoding can start here (a key frame)} */
  public boolean sync() {
    return sync;
  }

  @Override
  public boolean equals(Object other) {
    return other instanceof Mp4Sample that
        && index == that.index
        && offset == that.offset
        && size == that.size
        && decodeTime == that.decodeTime
        && presentationTime == that.presentationTime
        && duration == that.duration
        && sync == that.sync;
  }

  @Override
  public int hashCode() {
    return Objects.hash(
        index, offset, size, decodeTime, presentationTime, duration, sync);
  }

  @Override
  public String toString() {
    return "Mp4Sample[" + "index=" + index + ", "
        + "offset=" + offset + ", "
        + "size=" + size + ", "
        + "decodeTime=" + decodeTime + ", "
        + "presentationTime=" + presentationTime + ", "
        + "duration=" + duration + ", "
        + "sync=" + sync + "]";
  }
}
