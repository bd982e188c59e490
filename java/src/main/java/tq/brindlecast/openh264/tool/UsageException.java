package tq.brindlecast.openh264.tool;

/** The command line is wrong; the tool prints the reason and the usage and exits with 2. */
final class UsageException extends Exception {
  private static final long serialVersionUID = 1L;

  UsageException(String reason) {
    super(reason);
  }
}
