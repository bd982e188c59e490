package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.InputStream;
import java.util.Set;
import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.mp4.Mp4Reader;

/** {@code decode}: an Annex B file or an MP4's H.264 track to Y4M, an access unit at a time. */
final class DecodeCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar decode INPUT [--output FILE.y4m] [OPTIONS]\n"
          + "Decodes an H.264 Annex B file or an MP4 file's H.264 track; without --output it\n"
          + "only decodes and reports.\n\n"
          + "  INPUT               the H.264 Annex B or MP4 file (told apart by its first\n"
          + "                      bytes); - reads standard input\n"
          + "  --output FILE       the Y4M file to write; - writes standard output\n"
          + "  --fps F             the frame rate written to the Y4M header (default: an MP4's\n"
          + "                      timing, or an H.264 stream's own rate when it carries one,\n"
          + "                      else 30)\n"
          + "  --verbose           print the library's messages\n";

  private DecodeCommand() {}

  /** What was read and decoded. */
  static final class Counts {
    int units;
    int keyFrames;
    int pictureUnits;
    int failures;
    String failureReason;
    int pictures;
    /** Pictures still to leave out: those an MP4's edit list hides, the first shown. */
    int hidden;
    long nanos;
  }

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Options options = Options.parse(args, Set.of("output", "fps"), Set.of("verbose"), 1);
    String input = options.positional(0);
    if (input == null) {
      throw new UsageException("decode needs an INPUT file (.h264 or .mp4)");
    }
    double fps = options.positive("fps", 30, 1000);
    String target = options.string("output");
    ToolFiles.checkDistinct(target, input);
    String name = input.equals(ToolFiles.STDIO) ? "standard input" : input;
    Counts counts = new Counts();
    long bytes;
    String kind;
    int hidden = 0;
    Progress progress = new Progress(output, "decoding", -1);
    try (InputStream in = ToolFiles.openInput(input, output)) {
      boolean mp4 = InputKinds.isMp4(in);
      String wrongKind = mp4 ? null : InputKinds.wrongKind(in, name);
      if (wrongKind != null) {
        throw new IOException(wrongKind);
      }
      try (Mp4Reader movie = mp4 ? Mp4Inputs.open(input, in, name) : null;
          AccessUnitReader reader = mp4 ? null : new AccessUnitReader(in);
          H264Decoder decoder =
              new H264Decoder(new DecoderConfig(), output.listener(options.flag("verbose")));
          ToolFiles.Output file = target == null ? null : ToolFiles.openOutput(target, output);
          Y4mWriter writer =
              file == null
                  ? null
                  : new Y4mWriter(file.stream(), target,
                      mp4 && !options.has("fps") ? Mp4Inputs.frameRate(movie.videoTrack()) : fps)) {
        // An MP4's timing says how fast its pictures go; an Annex B stream may say it in its SPS.
        boolean keepRate = mp4 || options.has("fps");
        if (mp4) {
          hidden = movie.videoTrack().sampleCount() - movie.videoTrack().pictureCount();
          counts.hidden = hidden;
        }
        byte[] unit;
        while ((unit = next(movie, reader, counts.units)) != null) {
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
          write(result.picture(), decoder, writer, keepRate, counts);
          progress.update(counts.pictures);
        }
        while (true) {
          long started = System.nanoTime();
          DecodedPicture picture = decoder.drain();
          counts.nanos += System.nanoTime() - started;
          if (picture == null) {
            break;
          }
          write(picture, decoder, writer, keepRate, counts);
        }
        bytes = mp4 ? Mp4Inputs.videoBytes(movie.videoTrack()) : reader.bytesRead();
        kind = mp4 ? " (MP4, " + movie.videoTrack().codec() + ")" : "";
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
    output.summary("input", "%s%s, %d bytes, %d access units, %d key frames", name, kind, bytes,
        counts.units, counts.keyFrames);
    String left = hidden > 0 ? "; " + hidden + " more hidden by the edit list, not written" : "";
    output.summary("pictures", "%d decoded, %d access units failed%s", counts.pictures,
        counts.failures, left);
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

  /** The next access unit: the MP4's sample after the {@code read} ones, or the reader's next. */
  private static byte[] next(Mp4Reader movie, AccessUnitReader reader, int read)
      throws IOException {
    if (movie == null) {
      return reader.nextAccessUnit();
    }
    return read < movie.videoTrack().sampleCount() ? movie.readSample(read) : null;
  }

  /** Counts an access unit: whether it is a key frame (IDR) and whether it holds a picture. */
  static void count(byte[] unit, Counts counts) {
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
    // Pictures come out in presentation order, so the hidden ones, shown before time 0, come
    // first.
    if (counts.hidden > 0) {
      counts.hidden--;
      return;
    }
    if (writer != null) {
      writer.describe(decoder.sequenceParameterSet(), fpsGiven);
      writer.write(picture.asI420Picture());
    }
    counts.pictures++;
  }
}
