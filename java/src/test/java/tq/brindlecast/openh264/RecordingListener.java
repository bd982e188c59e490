package tq.brindlecast.openh264;

import java.util.ArrayList;
import java.util.List;

/** Collects the messages of the native calls made by the thread it is set on. */
final class RecordingListener implements MessageListener {
  final List<String> errors = new ArrayList<>();
  final List<String> debug = new ArrayList<>();

  @Override
  public void onError(String message) {
    errors.add(message);
  }

  @Override
  public void onDebug(String message) {
    debug.add(message);
  }

  /** Runs the action with this listener set on the current thread. */
  RecordingListener around(Runnable action) {
    MessageListener previous = Native.setThreadMessageListener(this);
    try {
      action.run();
    } finally {
      Native.setThreadMessageListener(previous);
    }
    return this;
  }
}
