package tq.brindlecast.openh264.tool;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.util.HashSet;
import java.util.Set;
import tq.brindlecast.openh264.EncodedFrame;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;

/** {@code encode}: pictures from a Y4M or raw I420 file, or the test pattern, to Annex B. */
final class EncodeCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar encode [INPUT] --output FILE.h264 [OPTIONS]\n"
          + "Encodes pictures to an H.264 Annex B file.\n\n"
          + Sources.USAGE
          + "  --output FILE       the H.264 file to write; - writes standard output\n"
          + EncoderSettings.USAGE
          + "  --verbose           print the library's messages\n";

  private EncodeCommand() {}

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Set<String> names = new HashSet<>(Sources.OPTIONS);
    names.addAll(EncoderSettings.OPTIONS);
    names.add("output");
    Options options = Options.parse(args, names, Set.of("verbose"), 1);
    String target = options.string("output");
    if (target == null) {
      throw new UsageException("encode needs --output FILE.h264");
    }
    ToolFiles.checkDistinct(target, options.positional(0));
    try (PictureSource source = Sources.open(options, output)) {
      source.warnings().forEach(output::warn);
      EncoderSettings settings = EncoderSettings.from(options, source.format());
      Progress progress = new Progress(output, "encoding", source.count());
      EncodeStats stats;
      try (H264Encoder encoder = settings.open(output.listener(options.flag("verbose")));
          ToolFiles.Output file = ToolFiles.openOutput(target, output)) {
        OutputStream out = new BufferedOutputStream(file.stream(), 1 << 16);
        stats = new EncodeStats(encoder);
        I420Picture picture;
        while ((picture = source.next()) != null) {
          EncodedFrame frame = stats.encode(picture);
          if (frame != null) {
            out.write(frame.data());
          }
          progress.update(stats.pictures);
        }
        if (stats.encoded == 0) {
          throw new IOException(
              source.description() + " holds no picture; nothing was written to " + target);
        }
        out.flush();
        file.commit();
      } finally {
        progress.finish();
      }
      output.summary(
          "source", "%s, %dx%d at %s pictures/s", source.description(), source.width(),
          source.height(), Main.number(source.fps()));
      stats.print(output, source.fps(), settings);
      output.summary("output", "%s", target);
    }
    return 0;
  }
}
