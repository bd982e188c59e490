package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Path;
import java.util.Locale;
import java.util.Map;
import tq.brindlecast.openh264.bitstream.AnnexBWriter;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.bitstream.EncodedPictureSink;
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

  private final String name;
  private final EncodedPictureSink sink;
  private final String kind;
  private final double fps;
  private boolean committed;

  private StreamOutput(String name, EncodedPictureSink sink, String kind, double fps) {
    this.name = name;
    this.sink = sink;
    this.kind = kind;
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
   * Opens the output for pictures of a format; an MP4 takes its frame rate and size from it. A
   * file is written by the sink itself, beside its target until complete; standard output, a
   * pipe or a device gets the stream as it comes.
   *
   * @param mp4 true for an MP4, false for Annex B
   */
  static StreamOutput open(String target, boolean mp4, PictureFormat format, ToolOutput output)
      throws IOException {
    if (!ToolFiles.isDirect(target)) {
      Path file = Path.of(target);
      EncodedPictureSink sink =
          mp4
              ? Mp4Writer.toFile(file, format.width(), format.height(), format.fps())
              : AnnexBWriter.toFile(file);
      return new StreamOutput(target, sink, mp4 ? " (MP4)" : "", format.fps());
    }
    OutputStream stream = ToolFiles.openOutput(target, output).stream();
    EncodedPictureSink sink =
        mp4
            ? Mp4Writer.toStream(stream, format.width(), format.height(), format.fps())
            : AnnexBWriter.toStream(stream);
    return new StreamOutput(target, sink, mp4 ? " (fragmented MP4)" : "", format.fps());
  }

  /** A few words for the summary: the name and, for an MP4, its kind. */
  String description() {
    return name + kind;
  }

  /**
   * Writes an encoded picture.
   *
   * @param sourceIndex the picture's place among the source pictures, from 0: in an MP4 it is
   *     shown at {@code sourceIndex / fps} seconds, so a picture skipped by rate control lengthens
   *     the one before it instead of speeding the video up
   */
  void write(EncodedFrame frame, int sourceIndex) throws IOException {
    sink.write(frame, Math.round(sourceIndex * 1e6 / fps));
  }

  /**
   * Completes the stream: a file moved into place, standard output flushed.
   *
   * @param sourcePictures how many source pictures there were: the video ends where the next
   *     would start, however many at the end rate control skipped
   */
  void commit(int sourcePictures) throws IOException {
    committed = true;
    sink.finishAt(Math.round(sourcePictures * 1e6 / fps));
  }

  /** Without a commit: throws away what was written to a file. */
  @Override
  public void close() {
    if (!committed) {
      sink.abort();
    }
  }
}
