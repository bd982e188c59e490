package tq.brindlecast.openh264;

import java.lang.ref.Cleaner;
import java.lang.ref.Reference;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.function.LongConsumer;

/**
 * One native codec context owned by a Java object: the handle, the lock that serialises the
 * native calls on it, message routing around each call, and the clean-up that frees the context
 * on {@link #close()} or, if the owner is never closed, once the owner is unreachable.
 */
final class NativeContext {
  private static final Cleaner CLEANER = Cleaner.create();

  /** The number of contexts created and not yet freed; read by tests. */
  static final AtomicInteger LIVE = new AtomicInteger();

  /**
   * The system property that, set to {@code true}, records where each encoder and decoder is
   * made, so that the warning about one never closed shows its creation stack.
   */
  static final String LEAK_TRACE_PROPERTY = "tq.brindlecast.openh264.leakTrace";

  private static final System.Logger LOGGER = System.getLogger(MessageRoute.LOGGER_NAME);
  private static final AtomicBoolean LEAK_REPORTED = new AtomicBoolean();

  /** A native operation on the handle. */
  interface Operation<T> {
    T run(long handle);
  }

  /**
   * Holds the handle for the cleaner. It must not refer to the owner, or the owner would never
   * become unreachable.
   */
  private static final class Release implements Runnable {
    private final long handle;
    private final LongConsumer destroy;
    private final String ownerName;
    private final Throwable creation;
    private volatile boolean closedByOwner;

    Release(long handle, LongConsumer destroy, String ownerName, Throwable creation) {
      this.handle = handle;
      this.destroy = destroy;
      this.ownerName = ownerName;
      this.creation = creation;
    }

    @Override
    public void run() {
      destroy.accept(handle);
      LIVE.decrementAndGet();
      if (!closedByOwner && LEAK_REPORTED.compareAndSet(false, true)) {
        reportLeak();
      }
    }

    /**
     * Once per process, as leak detectors do: the collector cannot see the native memory, so
     * codecs left to the cleaner can pile up gigabytes before it runs.
     */
    private void reportLeak() {
      String message =
          "an " + ownerName + " was never closed: freed only now that it became unreachable."
              + " Close encoders and decoders (try-with-resources); the garbage collector does"
              + " not see their native memory. This is reported once. ";
      if (creation != null) {
        LOGGER.log(System.Logger.Level.WARNING, message + "It was made here:", creation);
      } else {
        LOGGER.log(System.Logger.Level.WARNING, message + "Run with -D" + LEAK_TRACE_PROPERTY
            + "=true to see where it was made.");
      }
    }
  }

  private final Object owner;
  private final String ownerName;
  private final MessageListener listener;
  private final long handle;
  private final Release release;
  private final Cleaner.Cleanable cleanable;
  private boolean closed;

  /**
   * Creates the native context; its creation messages go to {@code listener}.
   *
   * @param owner the object whose reachability keeps the context alive
   * @param ownerName the owner's class name, for error messages
   * @param create makes the context and returns its handle (0 when it could not)
   * @param destroy frees a handle
   * @param listener the owner's listener, or null for the logger
   * @throws CodecException if the context could not be created
   */
  NativeContext(
      Object owner,
      String ownerName,
      java.util.function.LongSupplier create,
      LongConsumer destroy,
      MessageListener listener) {
    this.owner = owner;
    this.ownerName = ownerName;
    this.listener = listener;
    long created;
    String error;
    try (MessageRoute route = MessageRoute.open(listener)) {
      created = create.getAsLong();
      error = route.firstError();
    }
    if (created == 0) {
      throw new CodecException(
          error != null ? error : ownerName + ": the native context could not be allocated");
    }
    this.handle = created;
    LIVE.incrementAndGet();
    Throwable creation =
        Boolean.getBoolean(LEAK_TRACE_PROPERTY)
            ? new Throwable(ownerName + " made, and never closed")
            : null;
    this.release = new Release(created, destroy, ownerName, creation);
    this.cleanable = CLEANER.register(owner, release);
  }

  /**
   * Runs a native operation on the handle, holding the lock and routing its messages.
   *
   * @throws IllegalStateException if the context is closed
   * @throws CodecException if the library reported an error during the call
   */
  <T> T call(Operation<T> operation) {
    synchronized (this) {
      checkOpen();
      try (MessageRoute route = MessageRoute.open(listener)) {
        T result = operation.run(handle);
        String error = route.firstError();
        if (error != null) {
          throw new CodecException(error);
        }
        return result;
      } finally {
        Reference.reachabilityFence(owner);
      }
    }
  }

  /** Throws {@link IllegalStateException} when the context is closed. */
  synchronized void checkOpen() {
    if (closed) {
      throw new IllegalStateException("this " + ownerName + " is closed");
    }
  }

  /** Frees the native context; later calls are refused. Calling it again does nothing. */
  void close() {
    synchronized (this) {
      if (closed) {
        return;
      }
      closed = true;
      MessageRoute route = MessageRoute.open(listener);
      try {
        release.closedByOwner = true;
        cleanable.clean();
      } finally {
        route.close();
        Reference.reachabilityFence(owner);
      }
    }
  }
}
