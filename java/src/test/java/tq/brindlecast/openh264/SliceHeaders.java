package tq.brindlecast.openh264;

import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.BitReader;
import tq.brindlecast.openh264.bitstream.NalUnit;

/** Reads the few syntax elements of slice and parameter set headers the tests need. */
final class SliceHeaders {
  private final BitReader reader;

  private SliceHeaders(byte[] data, int offset, int length) {
    this.reader = new BitReader(data, offset, length, "the NAL unit");
  }

  private int bits(int count) {
    return (int) reader.bits(count, "a header field");
  }

  private int expGolomb() {
    return reader.ue("a header field", Integer.MAX_VALUE);
  }

  /** The number of frame_num bits from a Baseline SPS (profile 66, which has no chroma fields). */
  static int frameNumBits(byte[] data, NalUnit sps) {
    SliceHeaders reader = new SliceHeaders(data, sps.offset() + 1, sps.length() - 1);
    int profile = reader.bits(8);
    if (profile != 66) {
      throw new IllegalArgumentException("profile " + profile + " is not Baseline");
    }
    reader.bits(16); // constraint flags and level
    reader.expGolomb(); // seq_parameter_set_id
    return reader.expGolomb() + 4;
  }

  /** Whether the access unit holds an IDR picture. */
  static boolean isIdr(byte[] unit) {
    return AnnexB.nalUnits(unit).stream().anyMatch(n -> n.type() == NalUnit.TYPE_IDR);
  }

  /**
   * The slice_type of the first slice in the access unit, modulo 5 (0 P, 1 B, 2 I), or -1 when
   * the unit holds no slice.
   */
  static int firstSliceType(byte[] unit) {
    for (NalUnit nal : AnnexB.nalUnits(unit)) {
      if (nal.type() == NalUnit.TYPE_SLICE || nal.type() == NalUnit.TYPE_IDR) {
        SliceHeaders reader = new SliceHeaders(unit, nal.offset() + 1, nal.length() - 1);
        reader.expGolomb(); // first_mb_in_slice
        return reader.expGolomb() % 5;
      }
    }
    return -1;
  }

  /** The frame_num of a slice. */
  static int frameNum(byte[] data, NalUnit slice, int frameNumBits) {
    SliceHeaders reader = new SliceHeaders(data, slice.offset() + 1, slice.length() - 1);
    reader.expGolomb(); // first_mb_in_slice
    reader.expGolomb(); // slice_type
    reader.expGolomb(); // pic_parameter_set_id
    return reader.bits(frameNumBits);
  }

  /** Whether a picture parameter set of the unit turns weighted prediction of P slices on. */
  static boolean weightedPrediction(byte[] unit) {
    for (NalUnit nal : AnnexB.nalUnits(unit)) {
      if (nal.type() == NalUnit.TYPE_PPS) {
        SliceHeaders reader = new SliceHeaders(unit, nal.offset() + 1, nal.length() - 1);
        reader.expGolomb(); // pic_parameter_set_id
        reader.expGolomb(); // seq_parameter_set_id
        reader.bits(2); // entropy_coding_mode_flag, bottom_field_pic_order_in_frame_present_flag
        if (reader.expGolomb() != 0) { // num_slice_groups_minus1
          throw new IllegalArgumentException("slice groups are not read here");
        }
        reader.expGolomb(); // num_ref_idx_l0_default_active_minus1
        reader.expGolomb(); // num_ref_idx_l1_default_active_minus1
        if (reader.bits(1) == 1) { // weighted_pred_flag
          return true;
        }
      }
    }
    return false;
  }
}
