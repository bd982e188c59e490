package tq.brindlecast.openh264.video;

import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import tq.brindlecast.openh264.DecodedPicture;

/**
 * A second decoder grabbing, on a daemon thread, the pictures a caller asking one by one is
 * expected to want next in one key-frame interval, while the caller's own thread decodes the
 * interval before. Its pictures wait until taken; a failure ends it quietly, and the caller
 * then grabs the picture itself and meets the failure there.
 */
final class LookAhead {
  private final IntervalDecoder decoder;
  private final int sync;
  private final List<Integer> planned;
  private final List<Integer> grabs;
  private final Thread thread;
  private final Map<Integer, DecodedPicture> held = new HashMap<>(); // guarded by this
  private final Set<Integer> toGive; // guarded by this
  private boolean over; // guarded by this
  private boolean failed; // guarded by this
  private volatile boolean stopping;

  private LookAhead(IntervalDecoder decoder, int sync, List<Integer> planned, int grabs) {
    this.decoder = decoder;
    this.sync = sync;
    this.planned = List.copyOf(planned);
    this.grabs = this.planned.subList(0, Math.min(grabs, planned.size()));
    this.toGive = new HashSet<>(this.grabs);
    this.thread = new Thread(this::run, "frame-grabber-ahead");
    thread.setDaemon(true);
  }

  /**
   * {@return a look-ahead under way on a decoder, or null when no thread could be started}
   *
   * @param sync the sync sample of the interval
   * @param planned the samples of the interval the caller is expected to want, in that order
   * @param mostHeld how many pictures it may hold: it grabs the first so many
   */
  static LookAhead start(
      IntervalDecoder decoder, int sync, List<Integer> planned, int mostHeld) {
    LookAhead ahead = new LookAhead(decoder, sync, planned, mostHeld);
    try {
      ahead.thread.start();
    } catch (OutOfMemoryError noThread) {
      return null; // the caller's thread does the work
    }
    return ahead;
  }

  /** {@return the sync sample of the interval it grabs in} */
  int sync() {
    return sync;
  }

  /** {@return its decoder: for the caller to go on with once it has stopped} */
  IntervalDecoder decoder() {
    return decoder;
  }

  private void run() {
    try {
      // Planned whole, so that the caller can go on from here to the pictures not grabbed.
      decoder.plan(planned);
      for (int sample : grabs) {
        if (stopping) {
          return;
        }
        DecodedPicture picture = decoder.grab(sample, FrameGrabber.Seek.PRECISE);
        synchronized (this) {
          held.put(sample, picture);
          notifyAll();
        }
      }
    } catch (Throwable thrown) {
      // Not the caller's failure yet: the caller grabs the picture again and meets it there.
      synchronized (this) {
        failed = true;
      }
    } finally {
      synchronized (this) {
        over = true;
        notifyAll();
      }
    }
  }

  /**
   * {@return the picture of a sample, once grabbed, or null when it is not one to grab or the
   * look-ahead failed} Each is given once.
   */
  synchronized DecodedPicture take(int sample) {
    if (!toGive.remove(sample)) {
      return null;
    }
    boolean interrupted = false;
    while (!held.containsKey(sample) && !over) {
      try {
        wait();
      } catch (InterruptedException e) {
        interrupted = true; // it ends soon: the interrupt is kept for the caller
      }
    }
    if (interrupted) {
      Thread.currentThread().interrupt();
    }
    return held.remove(sample);
  }

  /**
   * Stops it after the grab under way and waits for its thread to end; the pictures not taken
   * are dropped.
   *
   * @return whether its decoder went without failure, so that the caller may go on with it
   */
  boolean stop() {
    stopping = true;
    boolean interrupted = false;
    while (thread.isAlive()) {
      try {
        thread.join();
      } catch (InterruptedException e) {
        interrupted = true; // its decoder must not be freed under it
      }
    }
    if (interrupted) {
      Thread.currentThread().interrupt();
    }
    synchronized (this) {
      held.clear();
      return !failed;
    }
  }
}
