package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Path;
import tq.brindlecast.openh264.mp4.Mp4FormatException;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Track;

/** MP4 inputs of the tool: opening them, and the frame rate their timing gives. */
final class Mp4Inputs {
  private Mp4Inputs() {}

  /**
   * Opens an MP4 input. A file is read in place; standard input, which cannot seek, is first
   * copied to a temporary file that goes away with the reader ({@link
   * Mp4Reader#open(InputStream)}).
   *
   * @param input the input's name, {@code -} for standard input
   * @param in the input, opened; closed here
   * @param name the input's name for messages
   * @throws Mp4FormatException naming the input, if it holds no H.264 video track to read
   */
  static Mp4Reader open(String input, InputStream in, String name) throws IOException {
    try {
      if (!input.equals(ToolFiles.STDIO)) {
        in.close();
        return Mp4Reader.open(Path.of(input));
      }
      return Mp4Reader.open(in); // copied to a temporary file, since the reader seeks
    } catch (Mp4FormatException unreadable) {
      throw new Mp4FormatException(name + ": " + unreadable.getMessage());
    }
  }

  /**
   * The frame rate of a track in pictures per second: the timescale over the sample duration
   * when every sample but the last lasts the same, else the average over the presentation.
   */
  static double frameRate(Mp4Track track) {
    return isConstantRate(track)
        ? (double) track.timescale() / track.sample(0).duration()
        : track.pictureCount() / track.toSeconds(track.duration());
  }

  /** Tells whether every sample but the last lasts the same. */
  static boolean isConstantRate(Mp4Track track) {
    long first = track.sample(0).duration();
    for (int i = 1; i < track.sampleCount() - 1; i++) {
      if (track.sample(i).duration() != first) {
        return false;
      }
    }
    return first > 0;
  }

  /**
   * What a file cut short lost, e.g. "cut short: 20480 bytes missing, 15 of 100 samples lost",
   * or null for a whole file.
   */
  static String lost(Mp4Track track) {
    if (track.missingSamples() == 0 && track.missingBytes() == 0) {
      return null;
    }
    return "cut short: " + track.missingBytes() + " bytes missing, " + track.missingSamples()
        + " of " + (track.sampleCount() + track.missingSamples()) + " samples lost";
  }

  /** The bytes of the track's samples. */
  static long videoBytes(Mp4Track track) {
    long bytes = 0;
    for (int i = 0; i < track.sampleCount(); i++) {
      bytes += track.sample(i).size();
    }
    return bytes;
  }
}
