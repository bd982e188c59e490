package tq.brindlecast.openh264.io;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Set;
import java.util.concurrent.ConcurrentHashMap;

/**
 * The temporary files this process has made and not yet moved into place or removed. A JVM
 * stopped by SIGTERM or SIGINT runs its shutdown hooks, and the hook installed here removes them,
 * so an interrupted run leaves no hidden part files beside its outputs.
 */
public final class TemporaryFiles {
  private static final Set<Path> LIVE = ConcurrentHashMap.newKeySet();
  private static boolean hooked;

  private TemporaryFiles() {}

  /**
   * Removes the file when the JVM shuts down, unless {@link #forget} comes first.
   *
   * @param file the temporary file
   */
  public static void deleteOnExit(Path file) {
    installHook();
    LIVE.add(file);
  }

  /**
   * The file was moved into place or removed: nothing to do for it at shutdown.
   *
   * @param file the temporary file
   */
  public static void forget(Path file) {
    LIVE.remove(file);
  }

  /**
   * Removes a file and forgets it; a failure leaves it to the shutdown hook.
   *
   * @param file the temporary file
   */
  public static void delete(Path file) {
    try {
      Files.deleteIfExists(file);
      LIVE.remove(file);
    } catch (IOException leftForShutdown) {
      // Tried again when the JVM exits.
    }
  }

  private static synchronized void installHook() {
    if (hooked) {
      return;
    }
    hooked = true;
    Runtime.getRuntime()
        .addShutdownHook(
            new Thread(
                () -> {
                  for (Path file : LIVE) {
                    try {
                      Files.deleteIfExists(file);
                    } catch (IOException ignored) {
                      // Nothing more can be done while the JVM stops.
                    }
                  }
                },
                "tqh264bridge-temporary-files"));
  }
}
