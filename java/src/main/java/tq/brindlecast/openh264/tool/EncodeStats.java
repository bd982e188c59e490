package tq.brindlecast.openh264.tool;

import tq.brindlecast.openh264.EncodedFrame;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;

/** Encodes pictures one at a time and counts what came out and how long it took. */
final class EncodeStats {
  private final H264Encoder encoder;
  int pictures;
  int encoded;
  int keyFrames;
  long bytes;
  long nanos;

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
    }
    return frame;
  }

  /** Prints the encoding lines of the summary. */
  void print(ToolOutput output, double fps, int targetBitrate) {
    double seconds = pictures / fps;
    output.summary(
        "pictures", "%d in, %d encoded, %d skipped by rate control", pictures, encoded,
        pictures - encoded);
    output.summary("key frames", "%d", keyFrames);
    output.summary(
        "bytes", "%d, %.0f kbit/s (target %d x 1024 bit/s)", bytes,
        seconds > 0 ? bytes * 8 / seconds / 1000 : 0.0, targetBitrate);
    output.summary("encoding", "%.1f pictures/s", rate(pictures, nanos));
  }

  static double rate(int count, long nanos) {
    return nanos > 0 ? count / (nanos / 1e9) : 0;
  }
}
