package tq.brindlecast.openh264.tool;

import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.bitstream.NalUnit;

/** Encodes pictures one at a time and counts what came out and how long it took. */
final class EncodeStats {
  private final H264Encoder encoder;
  int pictures;
  int encoded;
  int keyFrames;
  long bytes;
  long nanos;
  int fewestSlices = Integer.MAX_VALUE;
  int mostSlices;

  EncodeStats(H264Encoder encoder) {
    this.encoder = encoder;
  }

  /** Encodes one picture; returns null when the encoder skipped it. */
  EncodedFrame encode(I420Picture picture) {
    long started = System.nanoTime();
    EncodedFrame frame = encoder.encode(picture);
    nanos += System.nanoTime() - started;
    pictures++;
    if (frame != null) {
      encoded++;
      bytes += frame.size();
      if (frame.isIdr()) {
        keyFrames++;
      }
      int slices = 0;
      for (NalUnit unit : frame.nalUnits()) {
        slices += unit.isSlice() ? 1 : 0;
      }
      fewestSlices = Math.min(fewestSlices, slices);
      mostSlices = Math.max(mostSlices, slices);
    }
    return frame;
  }

  /**
   * Prints the encoding lines of the summary, and a warning when the encoder made fewer slices
   * than asked for.
   */
  void print(ToolOutput output, double fps, EncoderSettings settings) {
    double seconds = pictures / fps;
    output.summary(
        "pictures", "%d in, %d encoded, %d skipped by rate control", pictures, encoded,
        pictures - encoded);
    output.summary("key frames", "%d", keyFrames);
    output.summary(
        "bytes", "%d, %.0f kbit/s (%s)", bytes, seconds > 0 ? bytes * 8 / seconds / 1000 : 0.0,
        settings.bitrate > 0
            ? "target " + settings.bitrate + " x 1024 bit/s"
            : "no bit-rate target under this rate control");
    if (settings.slices > 1 && encoded > 0) {
      String made = fewestSlices == mostSlices
          ? String.valueOf(mostSlices) : fewestSlices + " to " + mostSlices;
      output.summary("slices", "%s per picture (%d asked)", made, settings.slices);
      if (fewestSlices < settings.slices) {
        output.warn("--slices " + settings.slices + " was asked, but OpenH264 made " + made
            + " slices per picture at this size");
      }
    }
    output.summary("encoding", "%.1f pictures/s", rate(pictures, nanos));
  }

  static double rate(int count, long nanos) {
    return nanos > 0 ? count / (nanos / 1e9) : 0;
  }
}
