package tq.brindlecast.openh264.tool;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.InputStream;
import java.util.Set;
import javax.imageio.ImageIO;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Track;
import tq.brindlecast.openh264.mp4.Orientation;
import tq.brindlecast.openh264.video.FrameGrabber;

/** {@code grab}: one picture of an MP4 file to a PNG image. */
final class GrabCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar grab INPUT.mp4 --at SECONDS|--frame N --output FILE.png\n"
          + "Writes the picture an MP4 file shows at a time, or its n-th, as a PNG image.\n\n"
          + "  INPUT               the MP4 file; - reads standard input\n"
          + "  --at SECONDS        the time from the start of the video, e.g. 12.5\n"
          + "  --frame N           the n-th picture shown, from 0\n"
          + "  --output FILE       the PNG file to write; - writes standard output\n"
          + "  --as-decoded        leave the picture as decoded; by default it is turned as the\n"
          + "                      track's matrix says players show it (phones' upright video)\n";

  private GrabCommand() {}

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Options options = Options.parse(args, Set.of("at", "frame", "output"), Set.of("as-decoded"), 1);
    String input = options.positional(0);
    if (input == null) {
      throw new UsageException("grab needs an INPUT.mp4 file");
    }
    if (options.has("at") == options.has("frame")) {
      throw new UsageException("grab needs either --at SECONDS or --frame N");
    }
    String target = options.string("output");
    if (target == null) {
      throw new UsageException("grab needs --output FILE.png");
    }
    double at = options.has("at") ? seconds(options.string("at")) : 0;
    int frame = options.integer("frame", 0, 0, Integer.MAX_VALUE);
    ToolFiles.checkDistinct(target, input);
    String name = input.equals(ToolFiles.STDIO) ? "standard input" : input;
    String which;
    Mp4Track track;
    String shown;
    try (InputStream in = ToolFiles.openInput(input, output)) {
      if (!InputKinds.isMp4(in)) {
        throw new IOException(name + " is not an MP4 file (it starts with no ftyp, moov or mdat"
            + " box); grab takes pictures out of MP4 files, decode turns H.264 streams into Y4M");
      }
      Mp4Reader reader = Mp4Inputs.open(input, in, name);
      FrameGrabber grabber;
      try {
        grabber = new FrameGrabber(reader);
      } catch (RuntimeException failure) {
        reader.close();
        throw failure;
      }
      try (grabber;
          ToolFiles.Output file = ToolFiles.openOutput(target, output)) {
        track = grabber.track();
        grabber.applyOrientation(!options.flag("as-decoded"));
        BufferedImage image;
        if (options.has("at")) {
          image = grabber.imageAt(at); // past the end: IllegalArgumentException with the length
          which = "shown at " + Main.seconds(at);
        } else {
          if (frame >= track.pictureCount()) {
            throw new IOException("there is no picture " + frame + ": " + name + " shows "
                + track.pictureCount() + " pictures, 0 to " + (track.pictureCount() - 1));
          }
          image = grabber.image(frame);
          which = "picture " + frame + " of " + track.pictureCount();
        }
        Orientation orientation = grabber.orientation();
        shown = image.getWidth() + "x" + image.getHeight()
            + (orientation == Orientation.NORMAL ? ""
                : options.flag("as-decoded") ? ", as decoded (players show it "
                    + orientation.description() + ")" : ", " + orientation.description());
        if (!ImageIO.write(image, "png", file.stream())) {
          throw new IOException("this Java runtime has no PNG writer");
        }
        file.commit();
      }
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
