package tq.brindlecast.openh264.mp4;

import tq.brindlecast.openh264.bitstream.BitReader;
import tq.brindlecast.openh264.bitstream.NalUnit;

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
   * SPS its own id after profile, constraints and level; for a PPS its own id and the id of the
   * SPS it refers to.
   */
  static boolean sameButIds(byte[] a, int aOffset, int aLength, byte[] b, int bOffset,
      int bLength, int type) {
    BitReader first = new BitReader(a, aOffset, aLength, "the parameter set");
    BitReader second = new BitReader(b, bOffset, bLength, "the parameter set");
    try {
      // NAL header, and an SPS's profile, constraint and level bytes.
      int fixedBits = type == NalUnit.TYPE_SPS ? 32 : 8;
      if (first.bits(fixedBits, "header") != second.bits(fixedBits, "header")) {
        return false;
      }
      int ids = type == NalUnit.TYPE_SPS ? 1 : 2;
      for (int i = 0; i < ids; i++) {
        first.ue("id", Integer.MAX_VALUE);
        second.ue("id", Integer.MAX_VALUE);
      }
      int firstLeft = first.bitsBeforeStopBit();
      if (firstLeft < 0 || firstLeft != second.bitsBeforeStopBit()) {
        return false;
      }
      for (int i = 0; i < firstLeft; i++) {
        if (first.bit("payload") != second.bit("payload")) {
          return false;
        }
      }
      return true;
    } catch (IllegalArgumentException unreadable) {
      return false;
    }
  }
}
