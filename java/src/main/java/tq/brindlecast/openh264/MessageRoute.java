package tq.brindlecast.openh264;

/**
 * Routes the messages of one native call to the object that made it. The library's callbacks are
 * static and run on the calling thread, so the route is installed as the thread's listener for
 * the duration of the call and the previous listener is put back afterwards.
 *
 * <p>Messages go to the object's listener, or without one to the {@link System.Logger} named
 * {@value #LOGGER_NAME}: errors at {@code ERROR}, the rest at {@code DEBUG}. The first error is
 * also kept, so that the caller can turn a failed call into an exception.
 */
final class MessageRoute implements MessageListener, AutoCloseable {
  static final String LOGGER_NAME = "tq.brindlecast.openh264";

  private static final System.Logger LOGGER = System.getLogger(LOGGER_NAME);

  private final MessageListener target;
  private final MessageListener previous;
  private String firstError;

  private MessageRoute(MessageListener target) {
    this.target = target;
    this.previous = Native.setThreadMessageListener(this);
  }

  /**
   * Starts routing the current thread's messages to {@code target}; close the route when the
   * native call returns.
   *
   * @param target the listener, or null for the logger
   */
  static MessageRoute open(MessageListener target) {
    return new MessageRoute(target);
  }

  /** The first error message of the call, or null if there was none. */
  String firstError() {
    return firstError;
  }

  @Override
  public void onError(String message) {
    if (firstError == null) {
      firstError = message;
    }
    if (target == null) {
      LOGGER.log(System.Logger.Level.ERROR, message);
    } else {
      target.onError(message);
    }
  }

  @Override
  public void onDebug(String message) {
    if (target == null) {
      LOGGER.log(System.Logger.Level.DEBUG, message);
    } else {
      target.onDebug(message);
    }
  }

  @Override
  public void close() {
    Native.setThreadMessageListener(previous);
  }
}
