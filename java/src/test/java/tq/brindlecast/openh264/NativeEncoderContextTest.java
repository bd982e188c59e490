package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import org.junit.jupiter.api.Test;

class NativeEncoderContextTest {
  private static final String CREATED = "openh264 encode: Created context.";

  @Test
  void eachCreateSendsCreatedContextOnceToDebugCallback() {
    List<Long> handles = new ArrayList<>();
    RecordingListener listener =
        new RecordingListener()
            .around(
                () -> {
                  for (int i = 0; i < 50; i++) {
                    handles.add(Native.OpenH264TQEncoderCreate(null, null, null, null));
                  }
                  for (long handle : handles) {
                    Native.OpenH264TQEncoderDestroy(handle);
                  }
                });
    assertEquals(Collections.nCopies(50, CREATED), listener.debug);
    assertTrue(listener.errors.isEmpty());
    assertEquals(50, handles.stream().distinct().count(), "every context has its own handle");
    handles.forEach(handle -> assertNotEquals(0L, handle));
  }

  @Test
  void createKeepsItsArgumentsWithoutUsingThem() {
    Object anything = new Object();
    RecordingListener listener =
        new RecordingListener()
            .around(
                () ->
                    Native.OpenH264TQEncoderDestroy(
                        Native.OpenH264TQEncoderCreate(anything, "x", 42, new int[0])));
    assertEquals(List.of(CREATED), listener.debug);
  }

  @Test
  void destroyOfZeroHandleIsIgnored() {
    RecordingListener listener =
        new RecordingListener().around(() -> Native.OpenH264TQEncoderDestroy(0));
    assertTrue(listener.debug.isEmpty());
  }

  @Test
  void messagesGoToTheListenerOfTheCallingThreadOnly() throws InterruptedException {
    RecordingListener mine = new RecordingListener();
    RecordingListener other = new RecordingListener();
    Thread thread =
        new Thread(
            () ->
                other.around(
                    () -> Native.OpenH264TQEncoderDestroy(
                        Native.OpenH264TQEncoderCreate(null, null, null, null))));
    mine.around(
        () -> {
          thread.start();
          Native.OpenH264TQEncoderDestroy(Native.OpenH264TQEncoderCreate(null, null, null, null));
        });
    thread.join();
    assertEquals(List.of(CREATED), mine.debug);
    assertEquals(List.of(CREATED), other.debug);
  }

  @Test
  void callbacksNeverThrow() {
    assertNull(Native.AllocCallback(-1));
    assertEquals(3, Native.AllocCallback(3).length);
    MessageListener throwing =
        new MessageListener() {
          @Override
          public void onError(String message) {
            throw new IllegalStateException("listener failed");
          }

          @Override
          public void onDebug(String message) {
            throw new IllegalStateException("listener failed");
          }
        };
    MessageListener previous = Native.setThreadMessageListener(throwing);
    try {
      Native.ErrorCallback("e");
      Native.DebugCallback("d");
      long handle = Native.OpenH264TQEncoderCreate(null, null, null, null);
      assertNotEquals(0L, handle);
      Native.OpenH264TQEncoderDestroy(handle);
    } finally {
      Native.setThreadMessageListener(previous);
    }
  }
}
