package tq.brindlecast.openh264.bitstream;

import java.util.List;
import java.util.Objects;

/**
 * The H.264 bytes of one encoded picture, in Annex B form: every NAL unit of every layer, each
 * with its start code. The array belongs to the caller; {@link #data()} returns it without
 * copying.
 */
public final class EncodedFrame {
  private final byte[] data;
  private final List<NalUnit> nalUnits;

  /**
   * Wraps the bytes of one picture and reads its NAL unit headers.
   *
   * @param data the Annex B bytes, not copied
   * @throws NullPointerException if {@code data} is null
   */
  public EncodedFrame(byte[] data) {
    this.data = Objects.requireNonNull(data, "data must not be null");
    this.nalUnits = List.copyOf(AnnexB.nalUnits(data));
  }

  /** {@return the Annex B bytes (not a copy)} */
  public byte[] data() {
    return data;
  }

  /** {@return the number of bytes} */
  public int size() {
    return data.length;
  }

  /** {@return the NAL units of the picture, in stream order} */
  public List<NalUnit> nalUnits() {
    return nalUnits;
  }

  /**
   * {@return true when the picture is an IDR picture, a point where decoding can start: one of its
   * NAL units has type 5}
   */
  public boolean isIdr() {
    for (NalUnit unit : nalUnits) {
      if (unit.type() == NalUnit.TYPE_IDR) {
        return true;
      }
    }
    return false;
  }

  @Override
  public String toString() {
    return "EncodedFrame[" + data.length + " bytes, " + nalUnits.size() + " NAL units"
        + (isIdr() ? ", IDR" : "") + "]";
  }
}
