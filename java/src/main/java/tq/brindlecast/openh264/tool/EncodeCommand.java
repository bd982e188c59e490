package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.util.HashSet;
import java.util.Set;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/** {@code encode}: pictures from a Y4M or raw I420 file, or the test pattern, to Annex B or MP4. */
final class EncodeCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar encode [INPUT] --output FILE.h264|FILE.mp4 [OPTIONS]\n"
          + "Encodes pictures to an H.264 Annex B file or an MP4 file.\n\n"
          + Sources.USAGE
          + "  --output FILE       the H.264 or MP4 file to write; - writes standard output\n"
          + StreamOutput.USAGE
          + EncoderSettings.USAGE
          + "  --verbose           print the library's messages\n";

  private EncodeCommand() {}

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Set<String> names = new HashSet<>(Sources.OPTIONS);
    names.addAll(EncoderSettings.OPTIONS);
    names.add("output");
    names.add(StreamOutput.OPTION);
    Options options = Options.parse(args, names, Set.of("verbose"), 1);
    String target = options.string("output");
    if (target == null) {
      throw new UsageException("encode needs --output FILE.h264 or --output FILE.mp4");
    }
    boolean mp4 = StreamOutput.isMp4(options, target);
    ToolFiles.checkDistinct(target, options.positional(0));
    try (PictureSource source = Sources.open(options, output)) {
      source.warnings().forEach(output::warn);
      EncoderSettings settings = EncoderSettings.from(options, source.format());
      Progress progress = new Progress(output, "encoding", source.count());
      EncodeStats stats;
      String written;
      try (H264Encoder encoder = settings.open(output.listener(options.flag("verbose")));
          StreamOutput out = StreamOutput.open(target, mp4, source.format(), output)) {
        stats = new EncodeStats(encoder);
        written = out.description();
        I420Picture picture;
        while ((picture = source.next()) != null) {
          EncodedFrame frame = stats.encode(picture);
          if (frame != null) {
            out.write(frame, stats.pictures - 1);
          }
          progress.update(stats.pictures);
        }
        if (stats.encoded == 0) {
          throw new IOException(
              source.description() + " holds no picture; nothing was written to " + target);
        }
        out.commit(stats.pictures);
      } finally {
        progress.finish();
      }
      output.summary(
          "source", "%s, %dx%d at %s pictures/s", source.description(), source.width(),
          source.height(), Main.number(source.fps()));
      stats.print(output, source.fps(), settings);
      output.summary("output", "%s", written);
    }
    return 0;
  }
}
