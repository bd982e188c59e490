package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.InputStream;
import java.util.Set;
import tq.brindlecast.openh264.AccessUnitReader;
import tq.brindlecast.openh264.AnnexB;
import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.NalUnit;

/** {@code decode}: an Annex B file to Y4M, one access unit at a time. */
final class DecodeCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar decode INPUT.h264 [--output FILE.y4m] [OPTIONS]\n"
          + "Decodes an H.264 Annex B file; without --output it only decodes and reports.\n\n"
          + "  INPUT               the H.264 Annex B file; - reads standard input\n"
          + "  --output FILE       the Y4M file to write; - writes standard output\n"
          + "  --fps F             the frame rate written to the Y4M header (default: the\n"
          + "                      stream's own when it carries one, else 30)\n"
          + "  --verbose           print the library's messages\n";

  private DecodeCommand() {}

  /** What was read and decoded. */
  private static final class Counts {
    int units;
    int keyFrames;
    int pictureUnits;
    int failures;
    String failureReason;
    int pictures;
    long nanos;
  }

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Options options = Options.parse(args, Set.of("output", "fps"), Set.of("verbose"), 1);
    String input = options.positional(0);
    if (input == null) {
      throw new UsageException("decode needs an INPUT.h264 file");
    }
    double fps = options.positive("fps", 30, 1000);
    String target = options.string("output");
    ToolFiles.checkDistinct(target, input);
    String name = input.equals(ToolFiles.STDIO) ? "standard input" : input;
    Counts counts = new Counts();
    long bytes;
    Progress progress = new Progress(output, "decoding", -1);
    try (InputStream in = ToolFiles.openInput(input, output)) {
      String wrongKind = InputKinds.wrongKind(in, name);
      if (wrongKind != null) {
        throw new IOException(wrongKind);
      }
      try (AccessUnitReader reader = new AccessUnitReader(in);
          H264Decoder decoder =
              new H264Decoder(new DecoderConfig(), output.listener(options.flag("verbose")));
          ToolFiles.Output file = target == null ? null : ToolFiles.openOutput(target, output);
          Y4mWriter writer = file == null ? null : new Y4mWriter(file.stream(), target, fps)) {
        byte[] unit;
        while ((unit = reader.nextAccessUnit()) != null) {
          count(unit, counts);
          long started = System.nanoTime();
          DecodeResult result = decoder.decodeAccessUnit(unit);
          counts.nanos += System.nanoTime() - started;
          if (result.failed()) {
            counts.failures++;
            if (counts.failureReason == null) {
              counts.failureReason = result.reason();
            }
          }
          write(result.picture(), decoder, writer, options.has("fps"), counts);
          progress.update(counts.pictures);
        }
        while (true) {
          long started = System.nanoTime();
          DecodedPicture picture = decoder.drain();
          counts.nanos += System.nanoTime() - started;
          if (picture == null) {
            break;
          }
          write(picture, decoder, writer, options.has("fps"), counts);
        }
        bytes = reader.bytesRead();
        if (counts.pictures == 0) {
          throw new IOException(noPicture(name, counts));
        }
        if (counts.failures == 0 && file != null) {
          writer.flush();
          file.commit();
        }
      }
    } finally {
      progress.finish();
    }
    output.summary("input", "%s, %d bytes, %d access units, %d key frames", name, bytes,
        counts.units, counts.keyFrames);
    output.summary("pictures", "%d decoded, %d access units failed", counts.pictures,
        counts.failures);
    output.summary("decoding", "%.1f pictures/s", EncodeStats.rate(counts.pictures, counts.nanos));
    if (counts.failures > 0) {
      output.err().println("error: " + failed(counts)
          + (target == null ? "" : "; " + target + " was not written"));
      return Main.FAILURE;
    }
    if (target != null) {
      output.summary("output", "%s", target);
    }
    return Main.OK;
  }

  private static void count(byte[] unit, Counts counts) {
    counts.units++;
    boolean hasSlice = false;
    for (NalUnit nal : AnnexB.nalUnits(unit)) {
      hasSlice |= nal.isSlice();
      if (nal.type() == NalUnit.TYPE_IDR) {
        counts.keyFrames++;
        break;
      }
    }
    counts.pictureUnits += hasSlice ? 1 : 0;
  }

  /** The failures in plain words, e.g. "4:2:2 chroma ... is not supported; 60 not decoded". */
  private static String failed(Counts counts) {
    String reason =
        counts.failureReason != null ? counts.failureReason : "OpenH264 could not decode them";
    return reason + "; " + counts.failures + " access units not decoded";
  }

  private static String noPicture(String name, Counts counts) {
    if (counts.units == 0) {
      return "no picture decoded: " + name + " holds no H.264 NAL unit (no 00 00 01 start code);"
          + " it is not an H.264 Annex B stream";
    }
    if (counts.failures > 0) {
      return "no picture decoded from " + name + ": " + failed(counts);
    }
    if (counts.pictureUnits == 0) {
      return "no picture decoded: " + name + " holds " + counts.units
          + " access units but no picture data, only parameter sets or other non-picture units";
    }
    return "no picture decoded from the " + counts.units + " access units of " + name;
  }

  private static void write(DecodedPicture picture, H264Decoder decoder, Y4mWriter writer,
      boolean fpsGiven, Counts counts) throws IOException {
    if (picture == null) {
      return;
    }
    if (writer != null) {
      writer.describe(decoder.sequenceParameterSet(), fpsGiven);
      writer.write(picture.asI420Picture());
    }
    counts.pictures++;
  }
}
