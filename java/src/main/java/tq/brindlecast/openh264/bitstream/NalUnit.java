package tq.brindlecast.openh264.bitstream;

/**
 * Where one NAL unit lies in an H.264 byte stream, and its type from the header byte.
 *
 * @param offset the index of the NAL unit's header byte, just after its start code
 * @param length the number of bytes from the header byte to the end of the unit, without the
 *     start code of the next unit and without trailing zero bytes
 * @param type the {@code nal_unit_type}, 0 to 31
 * @param refIdc the {@code nal_ref_idc}, 0 to 3
 */
public record NalUnit(int offset, int length, int type, int refIdc) {
  /** Type of a slice of a non-IDR picture. */
  public static final int TYPE_SLICE = 1;

  /** Type of a slice of an IDR picture. */
  public static final int TYPE_IDR = 5;

  /** Type of supplemental enhancement information. */
  public static final int TYPE_SEI = 6;

  /** Type of a sequence parameter set. */
  public static final int TYPE_SPS = 7;

  /** Type of a picture parameter set. */
  public static final int TYPE_PPS = 8;

  /** Type of an access unit delimiter. */
  public static final int TYPE_AUD = 9;

  /** Type of the end of a sequence. */
  public static final int TYPE_END_OF_SEQUENCE = 10;

  /** Type of the end of the stream. */
  public static final int TYPE_END_OF_STREAM = 11;

  /** Type of a subset sequence parameter set (scalable and multiview coding). */
  public static final int TYPE_SUBSET_SPS = 15;

  /** Type of a prefix NAL unit (scalable video coding). */
  public static final int TYPE_PREFIX = 14;

  /** Type of a slice of an enhancement layer (scalable video coding). */
  public static final int TYPE_SLICE_EXTENSION = 20;

  /**
   * {@return the {@code nal_unit_type} of a NAL unit}
   *
   * @param header the unit's first byte
   */
  public static int typeOf(byte header) {
    return header & 0x1F;
  }

  /** {@return true for the slice types that carry picture data: 1, 5 and 20} */
  public boolean isSlice() {
    return type == TYPE_SLICE || type == TYPE_IDR || type == TYPE_SLICE_EXTENSION;
  }
}
