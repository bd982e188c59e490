package tq.brindlecast.openh264.tool;

import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.PrintStream;
import java.io.UncheckedIOException;
import java.util.Locale;
import tq.brindlecast.openh264.MessageListener;

/**
 * Where a command reads and writes: data from {@code in} when the input is {@code -}; the summary
 * to {@code out}, or to {@code err} once the data itself goes to standard output; progress,
 * warnings and errors to {@code err}.
 */
final class ToolOutput {
  private final InputStream in;
  private final PrintStream out;
  private final PrintStream err;
  private final boolean progress;
  private PrintStream summary;

  /**
   * @param in standard input
   * @param out standard output
   * @param err standard error
   * @param progress true when standard error is a terminal, so a progress line may be drawn
   */
  ToolOutput(InputStream in, PrintStream out, PrintStream err, boolean progress) {
    this.in = in;
    this.out = out;
    this.err = err;
    this.progress = progress;
    this.summary = out;
  }

  InputStream in() {
    return in;
  }

  PrintStream err() {
    return err;
  }

  boolean progress() {
    return progress;
  }

  /**
   * Hands standard output over to the data; from now on the summary goes to standard error so
   * that it never lands inside the data. A {@link PrintStream} keeps write errors to itself, so
   * the data bypasses {@link System#out} for its file descriptor, whose errors carry the reason
   * (a full disk, a reader gone), and any other stream is asked after each write; either way a
   * failed write throws. Closing the stream flushes it and leaves standard output open.
   */
  OutputStream claimStdout() {
    summary = err;
    out.flush();
    OutputStream data =
        out == System.out ? new FileOutputStream(FileDescriptor.out) : out;
    return new OutputStream() {
      @Override
      public void write(int b) throws IOException {
        write(new byte[] {(byte) b}, 0, 1);
      }

      @Override
      public void write(byte[] b, int off, int len) throws IOException {
        try {
          data.write(b, off, len);
        } catch (IOException failure) {
          throw stdoutFailure(failure.getMessage());
        }
        checkStdout();
      }

      @Override
      public void flush() throws IOException {
        data.flush();
        checkStdout();
      }

      @Override
      public void close() throws IOException {
        flush();
      }
    };
  }

  private void checkStdout() throws IOException {
    if (out.checkError()) {
      throw stdoutFailure("the write failed");
    }
  }

  private static IOException stdoutFailure(String reason) {
    return new IOException("cannot write to standard output: " + reason);
  }

  /**
   * Prints one summary line with its label aligned.
   *
   * @throws UncheckedIOException if the summary goes to standard output and it cannot be written
   */
  void summary(String label, String format, Object... args) {
    summary.printf(
        Locale.ROOT, "%-12s%s%n", label + ":", String.format(Locale.ROOT, format, args));
    if (summary == out && out.checkError()) {
      throw new UncheckedIOException(stdoutFailure("the summary was not written"));
    }
  }

  /** Prints a warning on standard error. */
  void warn(String message) {
    err.println("warning: " + message);
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
