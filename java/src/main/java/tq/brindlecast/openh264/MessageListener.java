package tq.brindlecast.openh264;

/**
 * Receives the texts the native library reports while it works: set-up failures of a codec on
 * {@link #onError}, everything else on {@link #onDebug}. Messages arrive synchronously, on the
 * thread that made the native call that produced them.
 */
public interface MessageListener {
  /**
   * A codec could not be created, configured or initialised.
   *
   * @param message the text, beginning "openh264 encode: " or "openh264 decode: "
   */
  void onError(String message);

  /**
   * Progress and other non-failure messages.
   *
   * @param message the text, beginning "openh264 encode: " or "openh264 decode: "
   */
  void onDebug(String message);
}
