package tq.brindlecast.openh264.bitstream;

import java.util.ArrayList;
import java.util.List;
import java.util.Objects;

/**
 * NAL units each behind a big-endian length of one, two or four bytes (the form MP4 samples
 * hold), and their conversion to Annex B, where each is behind a start code.
 */
public final class LengthPrefixed {
  private LengthPrefixed() {}

  /**
   * Finds the NAL units of length-prefixed data.
   *
   * @param data the array
   * @param offset the index of the first length
   * @param length the number of bytes
   * @param lengthSize the size of each length: 1, 2 or 4 bytes
   * @return the units, their offsets pointing at their header bytes
   * @throws IllegalArgumentException if a length overruns the data or the data ends inside one;
   *     the message continues a sentence about the data ("has a NAL unit of ...")
   */
  public static List<NalUnit> nalUnits(byte[] data, int offset, int length, int lengthSize) {
    Objects.checkFromIndexSize(offset, length, data.length);
    if (lengthSize != 1 && lengthSize != 2 && lengthSize != 4) {
      throw new IllegalArgumentException("lengthSize must be 1, 2 or 4, was " + lengthSize);
    }
    List<NalUnit> units = new ArrayList<>();
    int end = offset + length;
    int position = offset;
    while (position < end) {
      int left = end - position;
      if (left < lengthSize) {
        throw new IllegalArgumentException(
            "ends with " + left + " bytes, too few for a NAL unit length");
      }
      long size = 0;
      for (int i = 0; i < lengthSize; i++) {
        size = size << 8 | (data[position + i] & 0xFF);
      }
      if (size > left - lengthSize) {
        throw new IllegalArgumentException(
            "has a NAL unit of " + size + " bytes at byte " + (position - offset)
                + ", past the end of its " + length + " bytes");
      }
      int header = position + lengthSize;
      int type = size > 0 ? NalUnit.typeOf(data[header]) : 0;
      int refIdc = size > 0 ? (data[header] >> 5) & 0x3 : 0;
      units.add(new NalUnit(header, (int) size, type, refIdc));
      position = header + (int) size;
    }
    return units;
  }

  /**
   * Turns four-byte lengths into four-byte start codes in place.
   *
   * @param data the array that holds the units
   * @param units its units, as {@link #nalUnits} found them with four-byte lengths
   */
  public static void toStartCodesInPlace(byte[] data, List<NalUnit> units) {
    for (NalUnit unit : units) {
      int length = unit.offset() - 4;
      data[length] = 0;
      data[length + 1] = 0;
      data[length + 2] = 0;
      data[length + 3] = 1;
    }
  }

  /**
   * Copies NAL units into a new Annex B array, each behind a four-byte start code.
   *
   * @param prefix bytes that come first, e.g. parameter sets already in Annex B form
   * @param data the array that holds the units
   * @param units the units to copy, in order
   * @return the prefix and the units, each behind a start code
   */
  public static byte[] toAnnexB(byte[] prefix, byte[] data, List<NalUnit> units) {
    int size = prefix.length;
    for (NalUnit unit : units) {
      size += 4 + unit.length();
    }
    byte[] annexB = new byte[size];
    System.arraycopy(prefix, 0, annexB, 0, prefix.length);
    int position = prefix.length;
    for (NalUnit unit : units) {
      annexB[position + 3] = 1;
      System.arraycopy(data, unit.offset(), annexB, position + 4, unit.length());
      position += 4 + unit.length();
    }
    return annexB;
  }
}
