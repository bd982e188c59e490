package tq.brindlecast.openh264;

import java.lang.ref.Cleaner;
import java.lang.ref.Reference;
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

    Release(long handle, LongConsumer destroy) {
      this.handle = handle;
      this.destroy = destroy;
    }

    @Override
    public void run() {
      destroy.accept(handle);
      LIVE.decrementAndGet();
    }
  }

  private final Object owner;
  private final String ownerName;
  private final MessageListener listener;
  private final long handle;
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
    this.cleanable = CLEANER.register(owner, new Release(created, destroy));
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
        cleanable.clean();
      } finally {
        route.close();
        Reference.reachabilityFence(owner);
      }
    }
  }
}
