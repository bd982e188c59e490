package tq.brindlecast.openh264.tool;

import java.io.PrintStream;
import java.util.Locale;

/**
 * A progress line on standard error, redrawn in place a few times per second, and only when
 * standard error is a terminal.
 */
final class Progress {
  private static final long INTERVAL_NANOS = 250_000_000L;

  private final PrintStream err;
  private final boolean enabled;
  private final String verb;
  private final int total;
  private final long started = System.nanoTime();
  private long lastDrawn;
  private int width;

  /**
   * @param total the number of pictures expected, or -1 when unknown
   */
  Progress(ToolOutput output, String verb, int total) {
    this.err = output.err();
    this.enabled = output.progress();
    this.verb = verb;
    this.total = total;
  }

  /** Reports that {@code done} pictures are finished. */
  void update(int done) {
    long now = System.nanoTime();
    if (!enabled || now - lastDrawn < INTERVAL_NANOS) {
      return;
    }
    lastDrawn = now;
    double seconds = (now - started) / 1e9;
    String line =
        String.format(
            Locale.ROOT, "%s: %d%s pictures, %.1f pictures/s", verb, done,
            total >= 0 ? "/" + total : "", done / Math.max(seconds, 1e-9));
    draw(line);
  }

  /** Clears the line. */
  void finish() {
    if (enabled && width > 0) {
      draw("");
    }
  }

  private void draw(String line) {
    StringBuilder text = new StringBuilder("\r").append(line);
    for (int i = line.length(); i < width; i++) {
      text.append(' ');
    }
    if (line.isEmpty()) {
      text.append('\r');
    }
    width = line.length();
    err.print(text);
    err.flush();
  }
}
