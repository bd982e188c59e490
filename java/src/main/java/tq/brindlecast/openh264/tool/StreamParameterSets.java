package tq.brindlecast.openh264.tool;

import java.util.BitSet;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.BitReader;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;

/**
 * The parameter sets of an Annex B stream as {@code info} reads through it, and whether they make
 * it an H.264 stream: bytes that merely hold start codes must not be described as one.
 */
final class StreamParameterSets {
  private final BitSet spsIds = new BitSet();
  private SequenceParameterSet first;
  private boolean ppsForAnSps;
  private String problem;

  /** Looks at the NAL units of one access unit. */
  void read(byte[] unit) {
    for (NalUnit nal : AnnexB.nalUnits(unit)) {
      if ((unit[nal.offset()] & 0x80) != 0) {
        note("a NAL unit header has its forbidden_zero_bit set");
      } else if (nal.type() == NalUnit.TYPE_SPS) {
        readSps(unit, nal);
      } else if (nal.type() == NalUnit.TYPE_PPS) {
        readPps(unit, nal);
      }
    }
  }

  private void readSps(byte[] unit, NalUnit nal) {
    try {
      SequenceParameterSet sps = SequenceParameterSet.parse(unit, nal.offset(), nal.length());
      if (InfoCommand.knownProfile(sps.profileIdc())) {
        spsIds.set(sps.id());
        first = first == null ? sps : first;
      } else {
        note("its sequence parameter set names no H.264 profile (profile_idc "
            + sps.profileIdc() + ")");
      }
    } catch (IllegalArgumentException unparsable) {
      note("its sequence parameter set does not parse (" + unparsable.getMessage() + ")");
    }
  }

  private void readPps(byte[] unit, NalUnit nal) {
    try {
      BitReader bits = new BitReader(unit, nal.offset() + 1, nal.length() - 1,
          "the picture parameter set");
      bits.ue("pic_parameter_set_id", 255);
      int spsId = bits.ue("seq_parameter_set_id", 31);
      ppsForAnSps |= spsIds.get(spsId);
    } catch (IllegalArgumentException unparsable) {
      note("its picture parameter set does not parse (" + unparsable.getMessage() + ")");
    }
  }

  private void note(String what) {
    problem = problem == null ? what : problem;
  }

  /** {@return the first sequence parameter set that parsed, or null} */
  SequenceParameterSet first() {
    return first;
  }

  /** {@return why the stream is not H.264, or null when its parameter sets parse} */
  String whyNotH264() {
    if (problem != null) {
      return problem;
    }
    if (first == null) {
      return "it holds no sequence parameter set";
    }
    return ppsForAnSps ? null : "it holds no picture parameter set for its sequence parameter set";
  }
}
