package tq.brindlecast.openh264;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Splits an H.264 Annex B byte stream into access units, the buffers a receiver hands to the
 * decoder one at a time. An access unit ends before the first slice of the next picture (a slice
 * whose first_mb_in_slice is 0) or before an SEI, SPS, PPS, access unit delimiter or prefix NAL
 * unit that follows a slice.
 */
final class StreamAccessUnits {
  static final int NON_IDR_SLICE = 1;
  static final int IDR_SLICE = 5;

  private StreamAccessUnits() {}

  /** The access units of the stream, each with its start codes, in stream order. */
  static List<byte[]> split(byte[] stream) {
    List<Integer> starts = nalStarts(stream);
    List<byte[]> units = new ArrayList<>();
    int unitStart = starts.isEmpty() ? stream.length : starts.get(0);
    boolean unitHasSlice = false;
    for (int i = 0; i < starts.size(); i++) {
      int start = starts.get(i);
      int header = headerIndex(stream, start);
      if (header >= stream.length) {
        break;
      }
      int type = stream[header] & 0x1F;
      boolean slice = type == NON_IDR_SLICE || type == IDR_SLICE;
      boolean firstSliceOfPicture =
          slice && header + 1 < stream.length && (stream[header + 1] & 0x80) != 0;
      boolean beforePicture = type == 6 || type == 7 || type == 8 || type == 9 || type == 14;
      if (unitHasSlice && (firstSliceOfPicture || beforePicture)) {
        units.add(Arrays.copyOfRange(stream, unitStart, start));
        unitStart = start;
        unitHasSlice = false;
      }
      unitHasSlice |= slice;
    }
    if (unitStart < stream.length) {
      units.add(Arrays.copyOfRange(stream, unitStart, stream.length));
    }
    return units;
  }

  /** The NAL unit types in a buffer, in order. */
  static List<Integer> nalTypes(byte[] buffer) {
    List<Integer> types = new ArrayList<>();
    for (int start : nalStarts(buffer)) {
      int header = headerIndex(buffer, start);
      if (header < buffer.length) {
        types.add(buffer[header] & 0x1F);
      }
    }
    return types;
  }

  /** Whether the access unit holds an IDR picture. */
  static boolean isIdr(byte[] unit) {
    return nalTypes(unit).contains(IDR_SLICE);
  }

  /**
   * The slice_type of the first slice in the access unit, modulo 5 (0 P, 1 B, 2 I), or -1 when
   * the unit holds no slice.
   */
  static int firstSliceType(byte[] unit) {
    for (int start : nalStarts(unit)) {
      int header = headerIndex(unit, start);
      int type = header < unit.length ? unit[header] & 0x1F : -1;
      if (type == NON_IDR_SLICE || type == IDR_SLICE) {
        BitReader bits = new BitReader(unit, header + 1);
        bits.expGolomb(); // first_mb_in_slice
        return bits.expGolomb() % 5;
      }
    }
    return -1;
  }

  /** Whether a picture parameter set of the unit turns weighted prediction of P slices on. */
  static boolean weightedPrediction(byte[] unit) {
    for (int start : nalStarts(unit)) {
      int header = headerIndex(unit, start);
      if (header < unit.length && (unit[header] & 0x1F) == 8) {
        BitReader bits = new BitReader(unit, header + 1);
        bits.expGolomb(); // pic_parameter_set_id
        bits.expGolomb(); // seq_parameter_set_id
        bits.bit(); // entropy_coding_mode_flag
        bits.bit(); // bottom_field_pic_order_in_frame_present_flag
        if (bits.expGolomb() != 0) { // num_slice_groups_minus1
          throw new IllegalArgumentException("slice groups are not read here");
        }
        bits.expGolomb(); // num_ref_idx_l0_default_active_minus1
        bits.expGolomb(); // num_ref_idx_l1_default_active_minus1
        if (bits.bit() == 1) { // weighted_pred_flag
          return true;
        }
      }
    }
    return false;
  }

  /** Reads the bits of a NAL unit payload, skipping emulation prevention bytes. */
  private static final class BitReader {
    private final byte[] data;
    private int index;
    private int bit;
    private int zeros;

    BitReader(byte[] data, int index) {
      this.data = data;
      this.index = index;
    }

    int bit() {
      if (bit == 0 && zeros >= 2 && (data[index] & 0xFF) == 3) {
        index++;
        zeros = 0;
      }
      int value = (data[index] >> (7 - bit)) & 1;
      if (++bit == 8) {
        zeros = data[index] == 0 ? zeros + 1 : 0;
        bit = 0;
        index++;
      }
      return value;
    }

    int expGolomb() {
      int leadingZeros = 0;
      while (bit() == 0) {
        leadingZeros++;
      }
      int value = 0;
      for (int i = 0; i < leadingZeros; i++) {
        value = (value << 1) | bit();
      }
      return (1 << leadingZeros) - 1 + value;
    }
  }

  /** Offsets of the start codes, counting a zero byte before 00 00 01 as part of it. */
  private static List<Integer> nalStarts(byte[] stream) {
    List<Integer> starts = new ArrayList<>();
    for (int i = 0; i + 2 < stream.length; i++) {
      if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
        starts.add(i > 0 && stream[i - 1] == 0 ? i - 1 : i);
        i += 2;
      }
    }
    return starts;
  }

  private static int headerIndex(byte[] stream, int start) {
    return stream[start + 2] == 1 ? start + 3 : start + 4;
  }
}
