package tq.brindlecast.openh264.bitstream;

import java.util.Objects;

/**
 * Reads the payload of a NAL unit bit by bit, most significant bit first, skipping its emulation
 * prevention bytes (the 03 of 00 00 03) as it goes. Reading past the end throws an {@link
 * IllegalArgumentException} that names the unit and the field being read.
 */
public final class BitReader {
  private final byte[] data;
  private final int end;
  private final String unitName;
  private int index;
  private int bit;
  private int zeros;

  /**
   * Reads part of an array.
   *
   * @param data the array
   * @param offset the index of the first byte to read, e.g. just after a NAL unit's header
   * @param length the number of bytes, emulation prevention bytes included
   * @param unitName what the bytes are, for messages: "the sequence parameter set"
   * @throws IndexOutOfBoundsException if the range does not lie inside {@code data}
   */
  public BitReader(byte[] data, int offset, int length, String unitName) {
    Objects.checkFromIndexSize(offset, length, data.length);
    this.data = data;
    this.index = offset;
    this.end = offset + length;
    this.unitName = Objects.requireNonNull(unitName, "unitName must not be null");
  }

  /** {@return whether a bit is left to read} */
  public boolean hasMoreBits() {
    skipEmulationPrevention();
    return index < end;
  }

  /**
   * Reads one bit.
   *
   * @param field the syntax element being read, for messages
   * @return 0 or 1
   */
  public int bit(String field) {
    skipEmulationPrevention();
    if (index >= end) {
      throw new IllegalArgumentException(unitName + " ends inside " + field);
    }
    int value = (data[index] >> (7 - bit)) & 1;
    if (++bit == 8) {
      zeros = data[index] == 0 ? zeros + 1 : 0;
      bit = 0;
      index++;
    }
    return value;
  }

  /**
   * Reads a one-bit flag.
   *
   * @param field the syntax element being read, for messages
   * @return whether the bit is 1
   */
  public boolean flag(String field) {
    return bit(field) != 0;
  }

  /**
   * Reads {@code count} bits, 0 to 32, as an unsigned number.
   *
   * @param count how many bits
   * @param field the syntax element being read, for messages
   * @return the number
   */
  public long bits(int count, String field) {
    long value = 0;
    for (int i = 0; i < count; i++) {
      value = (value << 1) | bit(field);
    }
    return value;
  }

  /**
   * Reads an unsigned Exp-Golomb number and checks it against its largest allowed value.
   *
   * @param field the syntax element being read, for messages
   * @param max the largest value the element may have
   * @return the number
   */
  public int ue(String field, long max) {
    int leadingZeros = 0;
    while (bit(field) == 0) {
      if (++leadingZeros > 31) {
        throw new IllegalArgumentException(field + " is not a valid Exp-Golomb code");
      }
    }
    long value = (1L << leadingZeros) - 1 + bits(leadingZeros, field);
    if (value > max) {
      throw new IllegalArgumentException(field + " is " + value + ", more than " + max);
    }
    return (int) value;
  }

  /**
   * Reads a signed Exp-Golomb number.
   *
   * @param field the syntax element being read, for messages
   * @return the number
   */
  public int se(String field) {
    long code = ue(field, Integer.MAX_VALUE);
    return (int) ((code & 1) != 0 ? (code + 1) / 2 : -(code / 2));
  }

  /**
   * {@return the number of bits from here to the payload's stop bit (its last 1 bit), which ends
   * the syntax elements; -1 when no 1 bit is left}
   */
  public int bitsBeforeStopBit() {
    BitReader rest = new BitReader(data, index, end - index, unitName);
    rest.bit = bit;
    rest.zeros = zeros;
    int read = 0;
    int beforeLastOne = -1;
    while (rest.hasMoreBits()) {
      if (rest.bit("") == 1) {
        beforeLastOne = read;
      }
      read++;
    }
    return beforeLastOne;
  }

  private void skipEmulationPrevention() {
    if (bit == 0 && zeros >= 2 && index < end && data[index] == 3) {
      index++;
      zeros = 0;
    }
  }
}
