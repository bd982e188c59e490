package tq.brindlecast.openh264.tool;

import tq.brindlecast.openh264.MessageListener;
import tq.brindlecast.openh264.Native;

/** Loads the native library, creates and destroys an encoder context, and prints its messages. */
public final class Main {
  private Main() {}

  /**
   * Runs the check.
   *
   * @param args ignored
   */
  public static void main(String[] args) {
    Native.setThreadMessageListener(
        new MessageListener() {
          @Override
          public void onError(String message) {
            System.out.println("error: " + message);
          }

          @Override
          public void onDebug(String message) {
            System.out.println("debug: " + message);
          }
        });
    long handle = Native.OpenH264TQEncoderCreate(null, null, null, null);
    if (handle == 0) {
      System.err.println("Could not create an encoder context.");
      System.exit(1);
    }
    Native.OpenH264TQEncoderDestroy(handle);
    System.out.println("Native library loaded; encoder context created and destroyed.");
  }
}
