package tq.brindlecast.openh264.mp4;

import java.util.Arrays;
import java.util.List;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;

/**
 * The one sample description of a written track: picture size, time scale, orientation, and the
 * stream's own parameter sets, from which the {@code avcC} box is built.
 */
final class Mp4WriterFormat {
  final int width;
  final int height;
  final int timescale;
  final List<byte[]> sequenceParameterSets;
  final List<byte[]> pictureParameterSets;
  final Orientation orientation;

  Mp4WriterFormat(int width, int height, int timescale, List<byte[]> sps, List<byte[]> pps,
      Orientation orientation) {
    this.orientation = orientation;
    this.width = width;
    this.height = height;
    this.timescale = timescale;
    this.sequenceParameterSets = List.copyOf(sps);
    this.pictureParameterSets = List.copyOf(pps);
  }

  /** Whether a parameter set (NAL header included) is one of this description's. */
  boolean holds(byte[] data, int offset, int length, boolean sequence) {
    for (byte[] known : sequence ? sequenceParameterSets : pictureParameterSets) {
      if (Arrays.equals(known, 0, known.length, data, offset, offset + length)) {
        return true;
      }
    }
    return false;
  }

  /**
   * Whether a parameter set says what one of this description's says, under another id: the
   * same pictures, so it may travel in the samples.
   */
  boolean matchesButIds(byte[] data, int offset, int length, boolean sequence) {
    for (byte[] known : sequence ? sequenceParameterSets : pictureParameterSets) {
      if (ParameterSetIds.sameButIds(
          known, 0, known.length, data, offset, length, sequence ? 7 : 8)) {
        return true;
      }
    }
    return false;
  }

  /**
   * Writes a {@code colr} box ({@code nclx}) with the colour description of the first SPS's VUI,
   * if it has one: readers that look at the container rather than the stream then convert the
   * pictures alike.
   */
  void writeColr(Mp4BoxBuilder box) {
    SequenceParameterSet sps;
    try {
      sps = SequenceParameterSet.parse(sequenceParameterSets.get(0));
    } catch (IllegalArgumentException unparsable) {
      return; // the stream's own business; the avcC record carries it as it is
    }
    if (sps.matrixCoefficients() == SequenceParameterSet.UNSPECIFIED_MATRIX
        && !sps.hasSignalType()) {
      return;
    }
    box.start("colr").type("nclx").u16(sps.colourPrimaries())
        .u16(sps.transferCharacteristics()).u16(sps.matrixCoefficients())
        .u8(sps.fullRange() ? 0x80 : 0).end();
  }

  /**
   * Writes the {@code avcC} box. Profile, compatibility flags and level are bytes 1 to 3 of the
   * first SPS. For the High profiles the box also carries the chroma format and bit depths: 4:2:0
   * and 8 bits, the only format OpenH264 encodes.
   */
  void writeAvcC(Mp4BoxBuilder box) {
    byte[] sps = sequenceParameterSets.get(0);
    int profile = sps[1] & 0xFF;
    box.start("avcC").u8(1).u8(profile).u8(sps[2] & 0xFF).u8(sps[3] & 0xFF);
    box.u8(0xFC | 3); // four-byte NAL unit lengths
    box.u8(0xE0 | sequenceParameterSets.size());
    for (byte[] set : sequenceParameterSets) {
      box.u16(set.length).bytes(set, 0, set.length);
    }
    box.u8(pictureParameterSets.size());
    for (byte[] set : pictureParameterSets) {
      box.u16(set.length).bytes(set, 0, set.length);
    }
    if (profile == 100 || profile == 110 || profile == 122 || profile == 144) {
      box.u8(0xFC | 1).u8(0xF8).u8(0xF8).u8(0);
    }
    box.end();
  }
}
