package tq.brindlecast.openh264.tool;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.InputStream;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.regex.Pattern;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Track;
import tq.brindlecast.openh264.video.FrameGrabber;

/** {@code grab}: one picture of an MP4 file, or one every so many seconds, to PNG images. */
final class GrabCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar grab INPUT.mp4 --at SECONDS|--frame N --output FILE.png\n"
          + "       java -jar tqh264bridge.jar grab INPUT.mp4 --every SECONDS --output out%03d.png\n"
          + "Writes the picture an MP4 file shows at a time, or its n-th, as a PNG image; or one\n"
          + "picture every so many seconds from the start, as numbered PNG images.\n\n"
          + "  INPUT               the MP4 file; - reads standard input\n"
          + "  --at SECONDS        the time from the start of the video, e.g. 12.5\n"
          + "  --frame N           the n-th picture shown, from 0\n"
          + "  --every SECONDS     the pictures shown at 0, SECONDS, 2 x SECONDS... to the end\n"
          + "  --seek MODE         precise (default): the picture shown at the time;\n"
          + "                      key-frame: the key frame at or before it, much faster\n"
          + "  --output FILE       the PNG file to write; - writes standard output. With --every\n"
          + "                      a name with one %d, %03d... numbered from 1, e.g. out%03d.png;\n"
          + "                      each file appears whole, and a failure keeps those written\n"
          + "  --as-decoded        leave the pictures as decoded; by default they are turned as\n"
          + "                      the track's matrix says players show them (phones' upright\n"
          + "                      video)\n";

  private static final Pattern NUMBERED = Pattern.compile("[^%]*%(0[1-9])?d[^%]*");
  private static final Map<String, FrameGrabber.Seek> SEEKS =
      Map.of("precise", FrameGrabber.Seek.PRECISE, "key-frame", FrameGrabber.Seek.KEY_FRAME);

  private GrabCommand() {}

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Options options =
        Options.parse(args, Set.of("at", "frame", "every", "seek", "output"),
            Set.of("as-decoded"), 1);
    String input = options.positional(0);
    if (input == null) {
      throw new UsageException("grab needs an INPUT.mp4 file");
    }
    int ways = (options.has("at") ? 1 : 0) + (options.has("frame") ? 1 : 0)
        + (options.has("every") ? 1 : 0);
    if (ways != 1) {
      throw new UsageException("grab needs one of --at SECONDS, --frame N or --every SECONDS");
    }
    String target = options.string("output");
    if (target == null) {
      throw new UsageException("grab needs --output FILE.png");
    }
    double at = options.has("at") ? seconds(options.string("at")) : 0;
    int frame = options.integer("frame", 0, 0, Integer.MAX_VALUE);
    double every = options.positive("every", 0, 1e9);
    FrameGrabber.Seek seek = options.choice("seek", SEEKS, FrameGrabber.Seek.PRECISE);
    boolean asDecoded = options.flag("as-decoded");
    if (options.has("every")) {
      if (!NUMBERED.matcher(target).matches()) {
        throw new UsageException("with --every, --output must be a file name with one %d or"
            + " %0Nd (N from 1 to 9) for the picture number, e.g. out%03d.png, was '" + target
            + "'");
      }
      return GrabSeries.run(input, every, seek, asDecoded, target, output);
    }
    ToolFiles.checkDistinct(target, input);
    String name = inputName(input);
    String which;
    String shown;
    Mp4Track track;
    try (FrameGrabber grabber = open(input, name, output);
        ToolFiles.Output file = ToolFiles.openOutput(target, output)) {
      track = grabber.track();
      grabber.applyOrientation(!asDecoded);
      BufferedImage image;
      if (options.has("at")) {
        image = grabber.imageAt(at, seek); // past the end: IllegalArgumentException, the length
        which = "shown at " + Main.seconds(at);
      } else {
        if (frame >= track.pictureCount()) {
          throw new IOException("there is no picture " + frame + ": " + name + " shows "
              + track.pictureCount() + " pictures, 0 to " + (track.pictureCount() - 1));
        }
        image = grabber.image(frame, seek);
        which = "picture " + frame + " of " + track.pictureCount();
      }
      if (seek == FrameGrabber.Seek.KEY_FRAME) {
        which = "the key frame at or before the picture " + which;
      }
      shown = GrabSeries.shownSize(track, grabber.orientation(), asDecoded);
      PngImages.write(image, file.stream());
      file.commit();
    }
    output.summary("input", "%s (MP4, %s), %d pictures, %s", name, track.codec(),
        track.pictureCount(), Main.seconds(track.toSeconds(track.duration())));
    output.summary("picture", "%s, %s", which, shown);
    output.summary("output", "%s", target);
    String lost = Mp4Inputs.lost(track);
    if (lost != null) {
      // The picture was recovered, but a damaged input is never a silent success.
      output.err().println("error: " + name + " was " + lost + "; " + target + " holds a picture"
          + " from before the cut");
      return Main.FAILURE;
    }
    return Main.OK;
  }

  /** {@return the input's name for messages} */
  static String inputName(String input) {
    return input.equals(ToolFiles.STDIO) ? "standard input" : input;
  }

  /** Opens an MP4 input for grabbing, or says why it is not one. */
  static FrameGrabber open(String input, String name, ToolOutput output) throws IOException {
    Mp4Reader reader;
    try (InputStream in = ToolFiles.openInput(input, output)) {
      if (!InputKinds.isMp4(in)) {
        throw new IOException(name + " is not an MP4 file (it starts with no ftyp, moov or mdat"
            + " box); grab takes pictures out of MP4 files, decode turns H.264 streams into Y4M");
      }
      reader = Mp4Inputs.open(input, in, name);
    }
    try {
      return new FrameGrabber(reader);
    } catch (RuntimeException failure) {
      reader.close();
      throw failure;
    }
  }

  private static double seconds(String text) throws UsageException {
    try {
      double value = Double.parseDouble(text.trim());
      if (value >= 0 && value < 1e12) {
        return value;
      }
    } catch (NumberFormatException notANumber) {
      // reported below
    }
    throw new UsageException("--at must be a time in seconds, 0 or more, was '" + text + "'");
  }
}
