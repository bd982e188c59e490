package tq.brindlecast.openh264.tool;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.util.Locale;
import java.util.Map;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.mp4.Mp4Writer;

/**
 * Where {@code encode} and {@code roundtrip} write the encoded stream: a raw H.264 (Annex B)
 * stream, or an MP4 with one video track. An MP4 file gets {@code moov} first; standard output, a
 * pipe or a device, which cannot seek, gets a fragmented MP4 (one fragment per GOP). Like every
 * tool output, a file appears under its name only when {@link #commit()} completes it.
 */
final class StreamOutput implements AutoCloseable {
  static final String OPTION = "format";

  static final String USAGE =
      """
        --format mp4|h264   the output's format; default: mp4 for a name ending in .mp4 or
                            .m4v, h264 (Annex B) otherwise; an MP4 to standard output or a
                            pipe is fragmented
      """;

  private static final Map<String, Boolean> FORMATS = Map.of("mp4", true, "h264", false);

  private final ToolFiles.Output file;
  private final OutputStream annexB;
  private final Mp4Writer mp4;
  private final double fps;
  private boolean committed;

  private StreamOutput(ToolFiles.Output file, OutputStream annexB, Mp4Writer mp4, double fps) {
    this.file = file;
    this.annexB = annexB;
    this.mp4 = mp4;
    this.fps = fps;
  }

  /** Tells whether the stream goes into an MP4: by {@code --format}, else by the name. */
  static boolean isMp4(Options options, String target) throws UsageException {
    Boolean chosen = options.choice(OPTION, FORMATS, null);
    if (chosen != null) {
      return chosen;
    }
    String name = target.toLowerCase(Locale.ROOT);
    return name.endsWith(".mp4") || name.endsWith(".m4v");
  }

  /**
   * Opens the output for pictures of a format; an MP4 takes its frame rate and size from it.
   *
   * @param mp4 true for an MP4, false for Annex B
   */
  static StreamOutput open(String target, boolean mp4, PictureFormat format, ToolOutput output)
      throws IOException {
    ToolFiles.Output file = ToolFiles.openOutput(target, output);
    try {
      if (!mp4) {
        return new StreamOutput(
            file, new BufferedOutputStream(file.stream(), 1 << 16), null, format.fps());
      }
      Mp4Writer writer =
          file.temporary() != null
              ? Mp4Writer.toFile(file.temporary(), format.width(), format.height(), format.fps())
              : Mp4Writer.toStream(file.stream(), format.width(), format.height(), format.fps());
      return new StreamOutput(file, null, writer, format.fps());
    } catch (IOException | RuntimeException failure) {
      file.close();
      throw failure;
    }
  }

  /** A few words for the summary: the name and, for an MP4, its kind. */
  String description() {
    if (mp4 == null) {
      return file.name();
    }
    return file.name() + (file.temporary() != null ? " (MP4)" : " (fragmented MP4)");
  }

  /**
   * Writes an encoded picture.
   *
   * @param sourceIndex the picture's place among the source pictures, from 0: in an MP4 it is
   *     shown at {@code sourceIndex / fps} seconds, so a picture skipped by rate control lengthens
   *     the one before it instead of speeding the video up
   */
  void write(EncodedFrame frame, int sourceIndex) throws IOException {
    if (mp4 == null) {
      annexB.write(frame.data());
    } else {
      mp4.write(frame, Math.round(sourceIndex * 1e6 / fps));
    }
  }

  /** Completes the stream and moves the file into place. */
  void commit() throws IOException {
    committed = true;
    if (mp4 != null) {
      mp4.close();
    } else {
      annexB.flush();
    }
    file.commit();
  }

  /** Without a commit: removes what was written to a file. */
  @Override
  public void close() throws IOException {
    if (!committed && mp4 != null) {
      try {
        // The MP4 writer has no way to give up but closing; the file it completes is the
        // temporary one, which the output removes next.
        mp4.close();
      } catch (IOException | RuntimeException alreadyFailing) {
        // The run has failed already.
      }
    }
    file.close();
  }
}
