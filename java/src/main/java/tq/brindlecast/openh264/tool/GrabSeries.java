package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.util.Locale;
import java.util.concurrent.atomic.AtomicInteger;
import tq.brindlecast.openh264.mp4.Mp4Track;
import tq.brindlecast.openh264.mp4.Orientation;
import tq.brindlecast.openh264.video.FrameGrabber;

/**
 * {@code grab --every}: the pictures shown at 0, every, 2 every... as numbered PNG files, grabbed
 * in one batch so that the key-frame intervals decode side by side and the PNG files are made on
 * the same threads. Each file is complete before it takes its name.
 */
final class GrabSeries {
  /** More files than anyone browses, and few enough that the list of times stays small. */
  static final int MAX_PICTURES = 1_000_000;

  private GrabSeries() {}

  /** The size of the images and how they were turned, e.g. "360x640, rotated 90° clockwise". */
  static String shownSize(Mp4Track track, Orientation orientation, boolean asDecoded) {
    boolean swap = orientation.swapsSides() && !asDecoded;
    String size = swap
        ? track.height() + "x" + track.width() : track.width() + "x" + track.height();
    if (orientation == Orientation.NORMAL) {
      return size;
    }
    return size + (asDecoded
        ? ", as decoded (players show it " + orientation.description() + ")"
        : ", " + orientation.description());
  }

  static int run(String input, double every, FrameGrabber.Seek seek, boolean asDecoded,
      String pattern, ToolOutput output) throws UsageException, IOException {
    String name = GrabCommand.inputName(input);
    Mp4Track track;
    AtomicInteger written = new AtomicInteger();
    double[] times;
    String shown;
    try (FrameGrabber grabber = GrabCommand.open(input, name, output)) {
      track = grabber.track();
      grabber.applyOrientation(!asDecoded);
      shown = shownSize(track, grabber.orientation(), asDecoded);
      times = times(track.toSeconds(track.duration()), every);
      if (times.length > MAX_PICTURES) {
        throw new UsageException("--every " + Main.number(every) + " would give " + times.length
            + " pictures of " + name + "; at most " + MAX_PICTURES + " are written at once");
      }
      for (int i = 0; i < times.length; i++) {
        ToolFiles.checkDistinct(fileName(pattern, i), input);
      }
      try {
        grabber.imagesAt(times, seek, (index, image) -> {
          try (ToolFiles.Output file = ToolFiles.openOutput(fileName(pattern, index), output)) {
            PngImages.write(image, file.stream());
            file.commit();
          }
          written.incrementAndGet();
        });
      } catch (IOException | RuntimeException failure) {
        output.err().println("note: " + written.get() + " of " + times.length
            + " pictures were written before the failure");
        throw failure;
      }
    }
    output.summary("input", "%s (MP4, %s), %d pictures, %s", name, track.codec(),
        track.pictureCount(), Main.seconds(track.toSeconds(track.duration())));
    output.summary("pictures", "%d, one every %s%s, %s", times.length, Main.seconds(every),
        seek == FrameGrabber.Seek.KEY_FRAME ? " (the key frames at or before)" : "", shown);
    output.summary("output", "%s to %s", fileName(pattern, 0),
        fileName(pattern, times.length - 1));
    String lost = Mp4Inputs.lost(track);
    if (lost != null) {
      output.err().println("error: " + name + " was " + lost + "; the pictures are those from"
          + " before the cut");
      return Main.FAILURE;
    }
    return Main.OK;
  }

  /** The times 0, every, 2 every... before the end. */
  static double[] times(double duration, double every) {
    int count = (int) Math.min(Math.ceil(duration / every), MAX_PICTURES + 1);
    while (count > 1 && (count - 1) * every >= duration) {
      count--;
    }
    double[] times = new double[Math.max(count, 1)];
    for (int i = 0; i < times.length; i++) {
      times[i] = i * every;
    }
    return times;
  }

  /** The name of the picture at a place: numbered from 1, as ffmpeg numbers them. */
  static String fileName(String pattern, int index) {
    return String.format(Locale.ROOT, pattern, index + 1);
  }
}
