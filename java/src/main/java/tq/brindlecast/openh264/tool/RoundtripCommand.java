package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.util.HashSet;
import java.util.Set;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/**
 * {@code roundtrip}: encodes pictures, decodes the result at once and compares each decoded
 * picture with the source picture it came from. Pictures that rate control skipped have no
 * decoded picture and are left out of the comparison rather than shifting it.
 */
final class RoundtripCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar roundtrip [INPUT] [OPTIONS]\n"
          + "Encodes, decodes and reports the PSNR of the decoded pictures against the source.\n\n"
          + Sources.USAGE
          + "  --output FILE       also write the H.264 stream to FILE, Annex B or MP4 (play it\n"
          + "                      with ffplay); - writes standard output\n"
          + StreamOutput.USAGE
          + "  --decoded FILE      also write the decoded pictures to a Y4M file\n"
          + EncoderSettings.USAGE
          + "  --verbose           print the library's messages\n";

  private RoundtripCommand() {}

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Set<String> names = new HashSet<>(Sources.OPTIONS);
    names.addAll(EncoderSettings.OPTIONS);
    names.add("output");
    names.add("decoded");
    names.add(StreamOutput.OPTION);
    Options options = Options.parse(args, names, Set.of("verbose"), 1);
    String streamFile = options.string("output");
    String decodedFile = options.string("decoded");
    boolean verbose = options.flag("verbose");
    if (streamFile != null && decodedFile != null && ToolFiles.isStdout(streamFile)
        && ToolFiles.isStdout(decodedFile)) {
      throw new UsageException("--output and --decoded cannot both go to standard output");
    }
    ToolFiles.checkDistinct(streamFile, options.positional(0));
    boolean mp4 = streamFile != null && StreamOutput.isMp4(options, streamFile);
    ToolFiles.checkDistinct(decodedFile, options.positional(0), streamFile);
    try (PictureSource source = Sources.open(options, output)) {
      source.warnings().forEach(output::warn);
      EncoderSettings settings = EncoderSettings.from(options, source.format());
      Progress progress = new Progress(output, "round trip", source.count());
      EncodeStats encoding;
      Comparison comparison = new Comparison();
      int decoded = 0;
      int failures = 0;
      long decodeNanos = 0;
      boolean complete;
      String streamDescription = null;
      try (H264Encoder encoder = settings.open(output.listener(verbose));
          H264Decoder decoder = new H264Decoder(new DecoderConfig(), output.listener(verbose));
          StreamOutput stream =
              streamFile == null
                  ? null
                  : StreamOutput.open(streamFile, mp4, source.format(), output);
          ToolFiles.Output decodedOutput =
              decodedFile == null ? null : ToolFiles.openOutput(decodedFile, output);
          Y4mWriter writer =
              decodedOutput == null
                  ? null
                  : new Y4mWriter(decodedOutput.stream(), decodedFile, source.fps())) {
        if (writer != null) {
          writer.setFullRange(source.format().fullRange());
        }
        encoding = new EncodeStats(encoder);
        I420Picture picture;
        while ((picture = source.next()) != null) {
          EncodedFrame frame = encoding.encode(picture);
          progress.update(encoding.pictures);
          if (frame == null) {
            continue;
          }
          if (stream != null) {
            stream.write(frame, encoding.pictures - 1);
          }
          comparison.sent(picture);
          long started = System.nanoTime();
          DecodedPicture result = decoder.decode(frame.data());
          decodeNanos += System.nanoTime() - started;
          if (result == null && decoder.needsKeyFrame()) {
            failures++;
            comparison.lost();
          }
          decoded += compare(result, comparison, writer);
        }
        while (true) {
          long started = System.nanoTime();
          DecodedPicture result = decoder.drain();
          decodeNanos += System.nanoTime() - started;
          if (result == null) {
            break;
          }
          decoded += compare(result, comparison, writer);
        }
        complete = failures == 0 && decoded == encoding.encoded && encoding.encoded > 0;
        if (complete) {
          if (stream != null) {
            streamDescription = stream.description();
            stream.commit(encoding.pictures);
          }
          if (writer != null) {
            writer.flush();
            decodedOutput.commit();
          }
        }
      } finally {
        progress.finish();
      }
      output.summary(
          "source", "%s, %dx%d at %s pictures/s", source.description(), source.width(),
          source.height(), Main.number(source.fps()));
      encoding.print(output, source.fps(), settings);
      output.summary(
          "decoding", "%d pictures, %d failed, %.1f pictures/s", decoded, failures,
          EncodeStats.rate(decoded, decodeNanos));
      Psnr psnr = comparison.psnr();
      output.summary(
          "PSNR", "Y %s dB, U %s dB, V %s dB, all %s dB (%d pictures)",
          decibels(psnr.plane(0)), decibels(psnr.plane(1)), decibels(psnr.plane(2)),
          decibels(psnr.combined()), psnr.pictures());
      if (!complete) {
        output.err().println(
            "error: " + encoding.encoded + " pictures were encoded but " + decoded
                + " came back from the decoder; no output file was written");
        return 1;
      }
      if (streamFile != null) {
        output.summary("output", "%s (play it with: ffplay %s)", streamDescription, streamFile);
      }
      if (decodedFile != null) {
        output.summary("decoded", "%s", decodedFile);
      }
    }
    return 0;
  }

  private static int compare(DecodedPicture result, Comparison comparison, Y4mWriter writer)
      throws IOException {
    if (result == null) {
      return 0;
    }
    I420Picture picture = result.asI420Picture();
    comparison.received(picture);
    if (writer != null) {
      writer.write(picture);
    }
    return 1;
  }

  private static String decibels(double value) {
    return Double.isInfinite(value) ? "inf" : String.format(java.util.Locale.ROOT, "%.2f", value);
  }
}
