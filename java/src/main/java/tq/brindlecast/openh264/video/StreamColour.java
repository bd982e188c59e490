package tq.brindlecast.openh264.video;

import java.util.List;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;
import tq.brindlecast.openh264.image.YuvColour;
import tq.brindlecast.openh264.mp4.Mp4Track;

/**
 * The matrix and range of a video's pictures: the SPS's VUI says, and where it is silent the MP4
 * file's {@code colr} box; with neither, BT.601 in limited range.
 */
final class StreamColour {
  private StreamColour() {}

  static YuvColour of(Mp4Track track) {
    List<byte[]> sets = track.sequenceParameterSets();
    SequenceParameterSet sps = null;
    if (!sets.isEmpty()) {
      try {
        sps = SequenceParameterSet.parse(sets.get(0));
      } catch (IllegalArgumentException unparsable) {
        // the colr box, if any, then decides; the decoder reports what is wrong with the SPS
      }
    }
    boolean hasColr = track.colourMatrix() >= 0;
    int matrix = sps != null && sps.matrixCoefficients() != SequenceParameterSet.UNSPECIFIED_MATRIX
        ? sps.matrixCoefficients()
        : hasColr ? track.colourMatrix() : SequenceParameterSet.UNSPECIFIED_MATRIX;
    boolean fullRange = sps != null && sps.hasSignalType() ? sps.fullRange()
        : hasColr && track.colourFullRange();
    return YuvColour.of(matrix, fullRange);
  }

  /** The colour an in-band SPS gives, keeping {@code before} for what its VUI leaves out. */
  static YuvColour of(SequenceParameterSet sps, YuvColour before) {
    int matrix = sps.matrixCoefficients() != SequenceParameterSet.UNSPECIFIED_MATRIX
        ? sps.matrixCoefficients()
        : before.matrix().code();
    return YuvColour.of(matrix, sps.hasSignalType() ? sps.fullRange() : before.fullRange());
  }
}
