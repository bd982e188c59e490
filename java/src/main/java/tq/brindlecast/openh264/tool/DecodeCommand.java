package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.util.Set;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.bitstream.AccessUnit;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.AccessUnitSource;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.AnnexBAccessUnits;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.mp4.Mp4AccessUnits;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.video.Picture;
import tq.brindlecast.openh264.video.VideoReader;

/** {@code decode}: an Annex B file or an MP4's H.264 track to Y4M, through a VideoReader. */
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
    /** Pictures an MP4's edit list hides: decoded, not written. */
    int hidden;
    long nanos;
  }

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Options options = Options.parse(args, Set.of("output", "fps"), Set.of("verbose"), 1);
    String input = options.positional(0);
    if (input == null) {
      throw new UsageException("decode needs an INPUT file (.h264 or .mp4)");
    }
    double fps = options.rate("fps", 30, 1000);
    String target = options.string("output");
    ToolFiles.checkDistinct(target, input);
    String name = input.equals(ToolFiles.STDIO) ? "standard input" : input;
    Counts counts = new Counts();
    long bytes;
    String kind;
    String lost;
    Progress progress = new Progress(output, "decoding", -1);
    try (InputStream in = ToolFiles.openInput(input, output)) {
      boolean mp4 = InputKinds.isMp4(in);
      String wrongKind = mp4 ? null : InputKinds.wrongKind(in, name);
      if (wrongKind != null) {
        throw new IOException(wrongKind);
      }
      Mp4Reader movie = mp4 ? Mp4Inputs.open(input, in, name) : null;
      AccessUnitSource units =
          mp4 ? new Mp4AccessUnits(movie) : new AnnexBAccessUnits(new AccessUnitReader(in), fps);
      try (VideoReader pictures =
              new VideoReader(counted(units, counts), new DecoderConfig(),
                  output.listener(options.flag("verbose")));
          ToolFiles.Output file = target == null ? null : ToolFiles.openOutput(target, output);
          Y4mWriter writer =
              file == null
                  ? null
                  : new Y4mWriter(file.stream(), target,
                      mp4 && !options.has("fps") ? Mp4Inputs.frameRate(movie.videoTrack()) : fps)) {
        // An MP4's timing says how fast its pictures go; an Annex B stream may say it in its SPS.
        boolean keepRate = mp4 || options.has("fps");
        for (Picture picture : pictures) {
          if (writer != null) {
            writer.describe(pictures.sequenceParameterSet(), keepRate);
            writer.write(picture.decoded().asI420Picture());
          }
          counts.pictures++;
          progress.update(counts.pictures);
        }
        counts.failures = pictures.failedAccessUnits();
        counts.failureReason = pictures.failureReason();
        counts.hidden = pictures.hiddenPictures();
        counts.nanos = pictures.decodeNanos();
        bytes = pictures.bytesRead();
        kind = mp4 ? " (MP4, " + movie.videoTrack().codec() + ")" : "";
        lost = mp4 ? Mp4Inputs.lost(movie.videoTrack()) : null;
        if (counts.pictures == 0) {
          throw new IOException(noPicture(name, counts));
        }
        if (counts.failures == 0 && file != null) {
          writer.flush();
          file.commit();
        }
      } catch (UncheckedIOException readFailure) {
        throw readFailure.getCause();
      }
    } finally {
      progress.finish();
    }
    int hidden = counts.hidden;
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
    if (lost != null) {
      // What could be recovered is written, but a damaged input is never a silent success.
      output.err().println("error: " + name + " was " + lost + "; the " + counts.pictures
          + " pictures before the cut were " + (target == null ? "decoded" : "written"));
      return Main.FAILURE;
    }
    return Main.OK;
  }

  /** The units of a source, counted as they are read. */
  private static AccessUnitSource counted(AccessUnitSource source, Counts counts) {
    return new AccessUnitSource() {
      @Override
      public AccessUnit next() throws IOException {
        AccessUnit unit = source.next();
        if (unit != null) {
          count(unit.data(), counts);
        }
        return unit;
      }

      @Override
      public long bytesRead() {
        return source.bytesRead();
      }

      @Override
      public void close() throws IOException {
        source.close();
      }
    };
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
}
