package tq.brindlecast.openh264.tool;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.Locale;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/** One in-process run of the tool: its exit status and what it printed. */
record ToolRun(int status, String out, String err, byte[] outBytes) {
  private static final Pattern PSNR =
      Pattern.compile("PSNR: +Y ([0-9.]+) dB, U ([0-9.]+) dB, V ([0-9.]+) dB, all ([0-9.]+) dB");

  static ToolRun of(String... args) {
    return run(false, new byte[0], args);
  }

  /** Runs the tool with {@code stdin} as its standard input. */
  static ToolRun withInput(byte[] stdin, String... args) {
    return run(false, stdin, args);
  }

  /** Runs the tool as if standard error were a terminal. */
  static ToolRun onTerminal(String... args) {
    return run(true, new byte[0], args);
  }

  private static ToolRun run(boolean terminal, byte[] stdin, String... args) {
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    ByteArrayOutputStream err = new ByteArrayOutputStream();
    int status;
    try (PrintStream outStream = new PrintStream(out, true, StandardCharsets.UTF_8);
        PrintStream errStream = new PrintStream(err, true, StandardCharsets.UTF_8)) {
      status = Main.run(args, new java.io.ByteArrayInputStream(stdin), outStream, errStream,
          terminal);
    }
    return new ToolRun(status, out.toString(StandardCharsets.UTF_8),
        err.toString(StandardCharsets.UTF_8), out.toByteArray());
  }

  /** The Y, U, V and combined PSNR of the summary. */
  double[] psnr() {
    Matcher matcher = PSNR.matcher(out);
    if (!matcher.find()) {
      throw new AssertionError("no PSNR line in:\n" + out);
    }
    return new double[] {
      Double.parseDouble(matcher.group(1)), Double.parseDouble(matcher.group(2)),
      Double.parseDouble(matcher.group(3)), Double.parseDouble(matcher.group(4))
    };
  }

  /** The text of a summary line, after its label. */
  String summary(String label) {
    for (String line : out.split("\n")) {
      if (line.startsWith(label + ":")) {
        return line.substring(label.length() + 1).trim();
      }
    }
    throw new AssertionError("no '" + label + "' line in:\n" + out);
  }

  @Override
  public String toString() {
    return String.format(Locale.ROOT, "status %d%nout:%n%s%nerr:%n%s", status, out, err);
  }
}
