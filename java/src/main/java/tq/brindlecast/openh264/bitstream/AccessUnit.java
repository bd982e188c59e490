package tq.brindlecast.openh264.bitstream;

import java.util.Objects;

/**
 * One access unit from an {@link AccessUnitSource}: a picture's NAL units in Annex B form, with
 * the parameter sets a decoder needs in front, and when it is decoded and shown.
 */
public final class AccessUnit {
  private final byte[] data;
  private final long decodeTimeMicros;
  private final long presentationTimeMicros;
  private final boolean keyFrame;

  /**
   * @param data the Annex B bytes, not copied
   * @param decodeTimeMicros when it is decoded, in microseconds from the start
   * @param presentationTimeMicros when its picture is shown, in microseconds; negative when an
   *     edit list leaves the picture out (it is decoded, as the pictures after it may refer to it,
   *     but not shown)
   * @param keyFrame whether decoding can start here
   */
  public AccessUnit(
      byte[] data, long decodeTimeMicros, long presentationTimeMicros, boolean keyFrame) {
    this.data = Objects.requireNonNull(data, "data must not be null");
    this.decodeTimeMicros = decodeTimeMicros;
    this.presentationTimeMicros = presentationTimeMicros;
    this.keyFrame = keyFrame;
  }

  /** {@return the Annex B bytes (not a copy)} */
  public byte[] data() {
    return data;
  }

  /** {@return when the unit is decoded, in microseconds from the start} */
  public long decodeTimeMicros() {
    return decodeTimeMicros;
  }

  /** {@return when its picture is shown, in microseconds; negative when it is not shown} */
  public long presentationTimeMicros() {
    return presentationTimeMicros;
  }

  /** {@return whether the picture is shown: the edit list, if any, does not leave it out} */
  public boolean shown() {
    return presentationTimeMicros >= 0;
  }

  /** {@return whether decoding can start here (an IDR picture, a sync sample)} */
  public boolean keyFrame() {
    return keyFrame;
  }

  @Override
  public String toString() {
    return "AccessUnit[" + data.length + " bytes, decoded at " + decodeTimeMicros
        + " µs, shown at " + presentationTimeMicros + " µs" + (keyFrame ? ", key frame" : "")
        + "]";
  }
}
