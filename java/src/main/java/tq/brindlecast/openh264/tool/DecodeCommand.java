package tq.brindlecast.openh264.tool;

import java.io.BufferedInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.Set;
import tq.brindlecast.openh264.AccessUnitReader;
import tq.brindlecast.openh264.AnnexB;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.NalUnit;

/** {@code decode}: an Annex B file to Y4M, one access unit at a time. */
final class DecodeCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar decode INPUT.h264 [--output FILE.y4m] [OPTIONS]\n"
          + "Decodes an H.264 Annex B file; without --output it only decodes and reports.\n\n"
          + "  INPUT               the H.264 Annex B file\n"
          + "  --output FILE       the Y4M file to write\n"
          + "  --fps F             the frame rate written to the Y4M header (default 30)\n"
          + "  --verbose           print the library's messages\n";

  private DecodeCommand() {}

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Options options = Options.parse(args, Set.of("output", "fps"), Set.of("verbose"), 1);
    String input = options.positional(0);
    if (input == null) {
      throw new UsageException("decode needs an INPUT.h264 file");
    }
    double fps = options.positive("fps", 30, 1000);
    Path file = Path.of(input);
    if (!Files.isRegularFile(file)) {
      throw new NoSuchFileException(input, null, "no such file");
    }
    String target = options.string("output");
    int units = 0;
    int keyFrames = 0;
    int failures = 0;
    int pictures = 0;
    long nanos = 0;
    long bytes;
    Progress progress = new Progress(output, "decoding", -1);
    try (AccessUnitReader reader =
            new AccessUnitReader(new BufferedInputStream(Files.newInputStream(file), 1 << 16));
        H264Decoder decoder =
            new H264Decoder(new DecoderConfig(), output.listener(options.flag("verbose")));
        Y4mWriter writer =
            target == null ? null : new Y4mWriter(Files.newOutputStream(Path.of(target)),
                target, fps)) {
      byte[] unit;
      while ((unit = reader.nextAccessUnit()) != null) {
        units++;
        if (AnnexB.nalUnits(unit).stream().anyMatch(n -> n.type() == NalUnit.TYPE_IDR)) {
          keyFrames++;
        }
        long started = System.nanoTime();
        DecodedPicture picture = decoder.decode(unit);
        nanos += System.nanoTime() - started;
        if (picture == null && decoder.needsKeyFrame()) {
          failures++;
        }
        pictures += write(picture, writer);
        progress.update(pictures);
      }
      while (true) {
        long started = System.nanoTime();
        DecodedPicture picture = decoder.drain();
        nanos += System.nanoTime() - started;
        if (picture == null) {
          break;
        }
        pictures += write(picture, writer);
      }
      bytes = reader.bytesRead();
    } finally {
      progress.finish();
    }
    output.summary("input", "%s, %d bytes, %d access units, %d key frames", input, bytes, units,
        keyFrames);
    output.summary("pictures", "%d decoded, %d access units failed", pictures, failures);
    output.summary("decoding", "%.1f pictures/s", EncodeStats.rate(pictures, nanos));
    if (target != null) {
      output.summary("output", "%s", target);
    }
    if (failures > 0) {
      output.err().println("error: " + failures + " access units of " + input
          + " could not be decoded");
      return 1;
    }
    return 0;
  }

  private static int write(DecodedPicture picture, Y4mWriter writer) throws IOException {
    if (picture == null) {
      return 0;
    }
    if (writer != null) {
      writer.write(picture.asI420Picture());
    }
    return 1;
  }
}
