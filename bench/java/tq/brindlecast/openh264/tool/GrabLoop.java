package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.nio.file.Path;
import tq.brindlecast.openh264.video.FrameGrabber;

/**
 * {@code grab --every} as a plain loop of {@link FrameGrabber#imageAt(double)}, for
 * bench/thumbnails.sh: the same times, and the same PNG files written the same way (it lives in
 * the tool's package to use the tool's writer), so that only the grabbing differs from the
 * batch.
 *
 * <pre>
 * java -cp tqh264bridge.jar:tqh264bridge-bench.jar tq.brindlecast.openh264.tool.GrabLoop \
 *     INPUT.mp4 EVERY out%03d.png
 * </pre>
 */
public final class GrabLoop {
  private GrabLoop() {}

  public static void main(String[] args) throws IOException {
    if (args.length != 3) {
      System.err.println("usage: GrabLoop INPUT.mp4 EVERY_SECONDS PATTERN");
      System.exit(2);
    }
    ToolOutput output = new ToolOutput(System.in, System.out, System.err, false);
    try (FrameGrabber grabber = FrameGrabber.open(Path.of(args[0]))) {
      double duration = grabber.track().toSeconds(grabber.track().duration());
      double[] times = GrabSeries.times(duration, Double.parseDouble(args[1]));
      for (int i = 0; i < times.length; i++) {
        try (ToolFiles.Output file =
            ToolFiles.openOutput(GrabSeries.fileName(args[2], i), output)) {
          PngImages.write(grabber.imageAt(times[i]), file.stream());
          file.commit();
        }
      }
    }
  }
}
