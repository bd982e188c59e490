package tq.brindlecast.openh264.tool;

import java.io.PrintStream;
import java.util.Locale;
import tq.brindlecast.openh264.MessageListener;

/**
 * Where a command writes: the summary to {@code out}, progress and messages to {@code err}.
 *
 * @param out standard output
 * @param err standard error
 * @param progress true when standard error is a terminal, so a progress line may be drawn
 */
record ToolOutput(PrintStream out, PrintStream err, boolean progress) {
  /** Prints one summary line with its label aligned. */
  void summary(String label, String format, Object... args) {
    out.printf(Locale.ROOT, "%-12s%s%n", label + ":", String.format(Locale.ROOT, format, args));
  }

  /**
   * The listener for the library's messages: with {@code --verbose} they are printed to standard
   * error; otherwise they are dropped, since failures reach the tool as exceptions anyway.
   */
  MessageListener listener(boolean verbose) {
    return new MessageListener() {
      @Override
      public void onError(String message) {
        if (verbose) {
          err.println("library error: " + message);
        }
      }

      @Override
      public void onDebug(String message) {
        if (verbose) {
          err.println("library: " + message);
        }
      }
    };
  }
}
