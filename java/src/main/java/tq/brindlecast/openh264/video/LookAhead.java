package tq.brindlecast.openh264.video;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import tq.brindlecast.openh264.DecodedPicture;

/**
 * A second decoder grabbing, on a daemon thread, the pictures a caller asking one by one is
 * expected to want next in one or more key-frame intervals, while the caller's own thread
 * decodes the interval before. Its pictures wait until taken; a failure ends it quietly, and the
 * caller then grabs the picture itself and meets the failure there.
 */
final class LookAhead {
  /** The samples of a key-frame interval the caller is expected to want, in that order. */
  record Interval(int sync, List<Integer> samples) {}

  private final IntervalDecoder decoder;
  private final List<Interval> intervals;
  private final int mostHeld;
  private final Thread thread;
  private final Map<Integer, DecodedPicture> held = new HashMap<>(); // guarded by this
  private final Set<Integer> toGive; // guarded by this
  private boolean over; // guarded by this
  private boolean failed; // guarded by this
  private boolean callerWaited; // guarded by this
  private volatile boolean stopping;

  private LookAhead(IntervalDecoder decoder, List<Interval> intervals, int mostHeld) {
    this.decoder = decoder;
    this.mostHeld = mostHeld;
    // Only the intervals it grabs in: the first mostHeld samples.
    List<Interval> kept = new ArrayList<>();
    Set<Integer> grabs = new HashSet<>();
    for (Interval interval : intervals) {
      if (grabs.size() < mostHeld && !interval.samples().isEmpty()) {
        kept.add(new Interval(interval.sync(), List.copyOf(interval.samples())));
        for (int sample : interval.samples()) {
          if (grabs.size() < mostHeld) {
            grabs.add(sample);
          }
        }
      }
    }
    this.intervals = List.copyOf(kept);
    this.toGive = grabs;
    this.thread = new Thread(this::run, "frame-grabber-ahead");
    thread.setDaemon(true);
  }

  /**
   * {@return a look-ahead under way on a decoder, or null when there is nothing to grab or no
   * thread could be started}
   *
   * @param intervals the intervals in file order, each with the samples the caller is expected
   *     to want in it
   * @param mostHeld how many pictures it may hold: it grabs the first so many
   */
  static LookAhead start(IntervalDecoder decoder, List<Interval> intervals, int mostHeld) {
    LookAhead ahead = new LookAhead(decoder, intervals, mostHeld);
    if (ahead.intervals.isEmpty()) {
      return null;
    }
    try {
      ahead.thread.start();
    } catch (OutOfMemoryError noThread) {
      return null; // the caller's thread does the work
    }
    return ahead;
  }

  /** {@return the sync sample of the first interval it grabs in} */
  int firstSync() {
    return intervals.get(0).sync();
  }

  /** {@return the sync sample of the last interval it grabs in} */
  int lastSync() {
    return intervals.get(intervals.size() - 1).sync();
  }

  /** {@return whether the caller had to wait for a picture: it was behind the caller} */
  synchronized boolean callerWaited() {
    return callerWaited;
  }

  /** {@return its decoder: for the caller to go on with once it has stopped} */
  IntervalDecoder decoder() {
    return decoder;
  }

  private void run() {
    try {
      int grabbed = 0;
      for (Interval interval : intervals) {
        // Planned whole, so that the caller can go on from here to the pictures not grabbed.
        decoder.plan(interval.samples());
        for (int sample : interval.samples()) {
          if (stopping || grabbed++ == mostHeld) {
            return;
          }
          DecodedPicture picture = decoder.grab(sample, FrameGrabber.Seek.PRECISE);
          synchronized (this) {
            held.put(sample, picture);
            notifyAll();
          }
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
    callerWaited |= !held.containsKey(sample) && !over;
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
