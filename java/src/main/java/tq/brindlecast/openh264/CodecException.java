package tq.brindlecast.openh264;

/**
 * OpenH264 could not do what a call asked: an encoder or decoder could not be created, configured
 * or initialised, or a setting was refused. The message is the library's own report, for example
 * "openh264 encode: Could not initialize openh264 encoder.", or names the refused setting and
 * OpenH264's code.
 */
public class CodecException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  /**
   * Creates the exception.
   *
   * @param message what failed
   */
  public CodecException(String message) {
    super(message);
  }
}
