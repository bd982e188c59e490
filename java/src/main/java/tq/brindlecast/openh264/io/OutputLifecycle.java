package tq.brindlecast.openh264.io;

import java.io.IOException;
import java.util.Objects;

/**
 * The life of an output that is complete only once finished: open, then finished or aborted. A
 * failure while writing or finishing aborts it; {@link #close()} without a finish aborts it and
 * says so. The encoded-picture sinks and the video writer share it, so that each gives up the
 * same way.
 */
public final class OutputLifecycle {
  /** What completes the output; may fail. */
  public interface Completion {
    /**
     * Does the work.
     *
     * @throws IOException if it fails
     */
    void run() throws IOException;
  }

  private final String name;
  private final Runnable giveUp;
  private boolean finished;
  private boolean ended;

  /**
   * @param name the output's kind for messages, e.g. "the MP4 writer"
   * @param giveUp what aborting does: remove the temporary file, close the stream; runs once
   */
  public OutputLifecycle(String name, Runnable giveUp) {
    this.name = Objects.requireNonNull(name, "name must not be null");
    this.giveUp = Objects.requireNonNull(giveUp, "giveUp must not be null");
  }

  /** Throws {@link IllegalStateException} unless the output is open. */
  public void checkOpen() {
    if (ended) {
      throw new IllegalStateException(name + " is " + (finished ? "finished" : "aborted"));
    }
  }

  /** {@return whether the output is neither finished nor aborted} */
  public boolean isOpen() {
    return !ended;
  }

  /**
   * Runs a write; if it fails with an {@link IOException}, the output is aborted and the
   * exception thrown on.
   *
   * @param write the write
   * @throws IOException if the write fails
   */
  public void write(Completion write) throws IOException {
    checkOpen();
    try {
      write.run();
    } catch (IOException failure) {
      abort();
      throw failure;
    }
  }

  /**
   * Completes the output once: finishing again does nothing. A failure aborts it and is thrown
   * on.
   *
   * @param completion what completes the output
   * @throws IOException if completing fails
   * @throws IllegalStateException if it was aborted
   */
  public void finish(Completion completion) throws IOException {
    if (finished) {
      return;
    }
    if (ended) {
      throw new IllegalStateException(name + " was aborted");
    }
    ended = true;
    try {
      completion.run();
      finished = true;
    } catch (IOException | RuntimeException failure) {
      giveUp.run();
      throw failure;
    }
  }

  /** Gives the output up; does nothing once finished or aborted. */
  public void abort() {
    if (ended) {
      return;
    }
    ended = true;
    giveUp.run();
  }

  /**
   * Aborts an output neither finished nor aborted.
   *
   * @throws IllegalStateException after aborting it: what was written is thrown away, which a
   *     caller who meant to keep it must hear (suppressed when an exception is on its way already)
   */
  public void close() {
    if (!ended) {
      abort();
      throw new IllegalStateException(
          name + " was closed without finish(): what was written is thrown away");
    }
  }
}
