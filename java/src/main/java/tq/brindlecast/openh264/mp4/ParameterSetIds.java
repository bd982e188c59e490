package tq.brindlecast.openh264.mp4;

/**
 * Compares two SPS or two PPS while ignoring their ids. OpenH264 numbers the parameter sets of
 * each IDR picture anew by default, so a stream may bring many SPS that all describe the same
 * pictures; only one whose content differs is a new stream. Reads no field but the ids, which are
 * the first Exp-Golomb numbers of the payload.
 */
final class ParameterSetIds {
  private ParameterSetIds() {}

  /**
   * Whether two NAL units (headers included) are the same parameter set but for the ids: for an
   * SPS ({@code type} 7) its own id after profile, constraints and level; for a PPS its own id
   * and the id of the SPS it refers to.
   */
  static boolean sameButIds(byte[] a, int aOffset, int aLength, byte[] b, int bOffset,
      int bLength, int type) {
    Bits first = new Bits(a, aOffset, aLength);
    Bits second = new Bits(b, bOffset, bLength);
    int fixedBits = type == 7 ? 32 : 8; // NAL header, and an SPS's profile/level bytes
    for (int i = 0; i < fixedBits; i++) {
      if (first.bit() != second.bit()) {
        return false;
      }
    }
    int ids = type == 7 ? 1 : 2;
    for (int i = 0; i < ids; i++) {
      if (!first.skipExpGolomb() || !second.skipExpGolomb()) {
        return false;
      }
    }
    int firstLeft = first.bitsToStopBit();
    if (firstLeft < 0 || firstLeft != second.bitsToStopBit()) {
      return false;
    }
    for (int i = 0; i < firstLeft; i++) {
      if (first.bit() != second.bit()) {
        return false;
      }
    }
    return true;
  }

  /** The payload bits of a NAL unit, emulation prevention bytes removed. */
  private static final class Bits {
    private final byte[] payload;
    private final int size;
    private int position;

    Bits(byte[] data, int offset, int length) {
      payload = new byte[length];
      int zeros = 0;
      int out = 0;
      for (int i = offset; i < offset + length; i++) {
        int value = data[i] & 0xFF;
        if (zeros >= 2 && value == 3) {
          zeros = 0;
          continue;
        }
        zeros = value == 0 ? zeros + 1 : 0;
        payload[out++] = (byte) value;
      }
      size = out * 8;
    }

    /** The next bit, or -1 past the end. */
    int bit() {
      if (position >= size) {
        return -1;
      }
      int value = (payload[position >> 3] >> (7 - (position & 7))) & 1;
      position++;
      return value;
    }

    boolean skipExpGolomb() {
      int zeros = 0;
      int bit;
      while ((bit = bit()) == 0) {
        if (++zeros > 31) {
          return false;
        }
      }
      if (bit < 0 || position + zeros > size) {
        return false;
      }
      position += zeros;
      return true;
    }

    /** Bits from here to the last 1 bit (the stop bit), or -1 when there is none. */
    int bitsToStopBit() {
      for (int last = size - 1; last >= position; last--) {
        if (((payload[last >> 3] >> (7 - (last & 7))) & 1) != 0) {
          return last - position;
        }
      }
      return -1;
    }
  }
}
