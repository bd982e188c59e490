package tq.brindlecast.openh264.bitstream;

import java.util.ArrayList;
import java.util.List;
import java.util.Objects;

/**
 * Reads H.264 byte streams in the Annex B format: NAL units each preceded by a start code {@code
 * 00 00 01} (or {@code 00 00 00 01}).
 */
public final class AnnexB {
  private AnnexB() {}

  /**
   * Finds the next three-byte start code {@code 00 00 01}.
   *
   * @param data the bytes to search
   * @param from the first index to look at
   * @param to the index after the last byte to look at
   * @return the index of the first {@code 00} of the start code, or -1 if there is none
   * @throws IndexOutOfBoundsException if the range does not lie inside {@code data}
   */
  public static int findStartCode(byte[] data, int from, int to) {
    Objects.checkFromToIndex(from, to, data.length);
    for (int i = from; i + 2 < to; i++) {
      if ((data[i + 2] & 0xFF) > 1) {
        i += 2; // no start code can end at or before i + 2
      } else if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
        return i;
      }
    }
    return -1;
  }

  /**
   * Lists the NAL units of a byte stream. Bytes before the first start code are skipped, and the
   * zero bytes in front of a start code do not count towards the unit before it.
   *
   * @param data the byte stream
   * @return the units in stream order; empty when there is no start code
   * @throws NullPointerException if {@code data} is null
   */
  public static List<NalUnit> nalUnits(byte[] data) {
    Objects.requireNonNull(data, "data must not be null");
    return nalUnits(data, 0, data.length);
  }

  /**
   * Lists the NAL units in part of an array.
   *
   * @param data the array
   * @param offset where the byte stream starts
   * @param length how many bytes it has
   * @return the units in stream order, with offsets into {@code data}
   * @throws IndexOutOfBoundsException if the range does not lie inside {@code data}
   * @throws NullPointerException if {@code data} is null
   */
  public static List<NalUnit> nalUnits(byte[] data, int offset, int length) {
    Objects.requireNonNull(data, "data must not be null");
    Objects.checkFromIndexSize(offset, length, data.length);
    int end = offset + length;
    List<NalUnit> units = new ArrayList<>();
    int start = findStartCode(data, offset, end);
    while (start >= 0) {
      int header = start + 3;
      int next = findStartCode(data, header, end);
      int unitEnd = trimTrailingZeros(data, header, next < 0 ? end : next);
      if (unitEnd > header) {
        int first = data[header] & 0xFF;
        units.add(new NalUnit(header, unitEnd - header, first & 0x1F, (first >> 5) & 0x3));
      }
      start = next;
    }
    return units;
  }

  /**
   * Tells whether a slice NAL unit begins a new picture: its {@code first_mb_in_slice} is 0. For
   * other units, and for slices too short to tell, the answer is false.
   *
   * @param data the array holding the unit
   * @param unit a unit found in {@code data}
   * @return true if the unit is a slice whose first_mb_in_slice is 0
   */
  public static boolean startsPicture(byte[] data, NalUnit unit) {
    int headerBytes = unit.type() == NalUnit.TYPE_SLICE_EXTENSION ? 4 : 1;
    if (!unit.isSlice() || unit.length() <= headerBytes) {
      return false;
    }
    // first_mb_in_slice is the slice header's first Exp-Golomb number: 0 is the single bit 1.
    return (data[unit.offset() + headerBytes] & 0x80) != 0;
  }

  private static int trimTrailingZeros(byte[] data, int from, int to) {
    while (to > from && data[to - 1] == 0) {
      to--;
    }
    return to;
  }
}
