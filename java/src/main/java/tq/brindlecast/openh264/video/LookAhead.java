package tq.brindlecast.openh264.video;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.function.Function;
import tq.brindlecast.openh264.DecodedPicture;

/**
 * Workers grabbing, on daemon threads with a decoder each, the pictures a caller asking one by
 * one at a steady step is expected to want next, key-frame interval after key-frame interval,
 * and making them into what the caller last asked for (images, say), while the caller's own
 * thread does what it does with them. A worker takes on the next interval foreseen, grabs its
 * pictures in the order they will be asked for, then takes on the next; one that holds its share
 * of pictures not yet taken waits for the caller. So all the processors decode while the caller
 * keeps its step, and at most a few pictures (with what was made of them) wait.
 *
 * <p>The caller takes the pictures in the order foreseen: one asked out of turn gets nothing and
 * should stop the look-ahead. A failure on a worker ends the look-ahead quietly: the caller then
 * grabs the picture itself and meets the failure there.
 */
final class LookAhead {
  /** The samples of a key-frame interval the caller is expected to want, in that order. */
  record Interval(int sync, int end, List<Integer> samples) {}

  /** Foresees the intervals the caller will want pictures in. */
  @FunctionalInterface
  interface Foresight {
    /** {@return the first interval at or after sample {@code after} foreseen, or null} */
    Interval after(int after);
  }

  /** A picture grabbed, and what the finish it was made with made of it (kept both ways). */
  private record Held(
      DecodedPicture picture, Object made, Function<DecodedPicture, ?> finish, int worker) {}

  private final List<IntervalDecoder> decoders;
  private final Foresight foresight;
  private final int shareEach;
  // What the workers make of each picture: what the caller last asked for (null: the picture).
  private volatile Function<DecodedPicture, ?> finish;
  private final List<Thread> threads = new ArrayList<>();
  // All below guarded by this.
  private final List<Interval> foreseen = new ArrayList<>(); // in order, not yet all taken
  private int takenOn; // how many of them (from the first) workers have taken on
  private int nextFrom; // the sample the next interval is foreseen from
  private boolean foreseenAll;
  private int picturesTaken; // of the first interval
  private final Map<Integer, Held> held = new HashMap<>();
  private final Set<Integer> passed = new HashSet<>(); // skipped by the caller, still to come
  private final int[] heldBy;
  private final Interval[] working; // each worker's last interval
  private final boolean[] failedOn;
  private final byte[][] givenBack; // per worker: a picture's array nothing reads any more
  private boolean failed;
  private boolean stopping;

  private LookAhead(List<IntervalDecoder> decoders, Foresight foresight, int after,
      int mostHeld) {
    this.decoders = List.copyOf(decoders);
    this.foresight = foresight;
    this.nextFrom = after;
    this.shareEach = Math.max(1, mostHeld / decoders.size());
    this.heldBy = new int[decoders.size()];
    this.working = new Interval[decoders.size()];
    this.failedOn = new boolean[decoders.size()];
    this.givenBack = new byte[decoders.size()][];
  }

  /**
   * {@return a look-ahead under way, or null when nothing is foreseen or no thread could be
   * started}
   *
   * @param decoders one per worker, owned by the look-ahead until it has stopped
   * @param foresight the intervals to grab in; called from the workers
   * @param after the first sample it may grab in
   * @param mostHeld how many pictures the workers may hold at most, shared out among them
   * @param finish what to make of the pictures until the caller asks otherwise; null for the
   *     pictures themselves
   */
  static LookAhead start(List<IntervalDecoder> decoders, Foresight foresight, int after,
      int mostHeld, Function<DecodedPicture, ?> finish) {
    LookAhead ahead = new LookAhead(decoders, foresight, after, mostHeld);
    ahead.finish = finish;
    synchronized (ahead) {
      if (ahead.foreseeOne() == null) {
        return null;
      }
    }
    for (int i = 0; i < decoders.size(); i++) {
      int worker = i;
      Thread thread = new Thread(() -> ahead.work(worker), "frame-grabber-ahead");
      thread.setDaemon(true);
      try {
        thread.start();
      } catch (OutOfMemoryError noThread) {
        break; // fewer workers
      }
      ahead.threads.add(thread);
    }
    if (ahead.threads.isEmpty()) {
      return null; // the caller's thread does the work
    }
    return ahead;
  }

  /** {@return the sync sample of the first interval it grabs in} */
  synchronized int firstSync() {
    return foreseen.isEmpty() ? nextFrom : foreseen.get(0).sync();
  }

  /** {@return the decoders, one per worker: for the caller to keep once it has stopped} */
  List<IntervalDecoder> decoders() {
    return decoders;
  }

  private void work(int worker) {
    IntervalDecoder decoder = decoders.get(worker);
    try {
      for (Interval interval; (interval = takeOn(worker)) != null; ) {
        // Planned whole, so that the caller can go on from here to the pictures not grabbed.
        decoder.plan(interval.samples());
        for (int sample : interval.samples()) {
          Next next = next(worker, sample);
          if (next == Next.STOP) {
            return;
          }
          if (next == Next.GRAB) {
            Function<DecodedPicture, ?> making = finish;
            decoder.reuse(givenBack(worker));
            DecodedPicture picture = decoder.grab(sample, FrameGrabber.Seek.PRECISE);
            hold(worker, sample, new Held(
                picture, making == null ? picture : making.apply(picture), making, worker));
          }
        }
      }
    } catch (Throwable thrown) {
      // Not the caller's failure yet: the caller grabs the picture again and meets it there.
      synchronized (this) {
        failedOn[worker] = true;
        failed = true;
        notifyAll();
      }
    }
  }

  /** {@return the next interval no worker has taken on, now this worker's, or null to end} */
  private synchronized Interval takeOn(int worker) {
    if (stopping || failed || (takenOn == foreseen.size() && foreseeOne() == null)) {
      return null;
    }
    working[worker] = foreseen.get(takenOn++);
    return working[worker];
  }

  /** {@return the interval foreseen after the last, now added, or null when none is} */
  private Interval foreseeOne() {
    Interval next = foreseenAll ? null : foresight.after(nextFrom);
    if (next == null) {
      foreseenAll = true;
      return null;
    }
    foreseen.add(next);
    nextFrom = next.end();
    return next;
  }

  /** What a worker does about its next sample. */
  private enum Next { GRAB, SKIP, STOP }

  /** {@return what to do about a sample: waits until the worker holds less than its share} */
  private synchronized Next next(int worker, int sample) {
    while (!stopping && !failed) {
      if (passed.remove(sample)) {
        return Next.SKIP;
      }
      if (heldBy[worker] < shareEach) {
        return Next.GRAB;
      }
      try {
        wait();
      } catch (InterruptedException e) {
        return Next.STOP; // nobody but a stop has reason to interrupt a worker
      }
    }
    return Next.STOP;
  }

  /** Holds a picture for the caller, unless the caller has passed it meanwhile. */
  private synchronized void hold(int worker, int sample, Held grabbed) {
    if (!passed.remove(sample)) {
      held.put(sample, grabbed);
      heldBy[worker]++;
      notifyAll();
    }
  }

  /**
   * {@return the picture of a sample, once grabbed, made into what {@code finish} makes of it;
   * null when it is not foreseen from the caller's place on, or the look-ahead failed} The
   * caller's thread waits for it when it is still to come. The pictures foreseen before it are
   * passed over: dropped, or not grabbed.
   *
   * @param finish what to make of the picture, and of the next ones: on the workers; null for
   *     the picture itself
   */
  Object take(int sample, Function<DecodedPicture, ?> finish) {
    this.finish = finish;
    Held taken = takeHeld(sample);
    if (taken == null) {
      return null;
    }
    // Made ahead as asked for, or (asked for differently) made here from the picture.
    Object made = taken.finish() == finish ? taken.made()
        : finish == null ? taken.picture() : finish.apply(taken.picture());
    if (made != taken.picture()) {
      giveBack(taken); // an image is a copy
    }
    return made;
  }

  /** Gives the array of a picture no one will read back to the worker that decoded it. */
  private synchronized void giveBack(Held picture) {
    givenBack[picture.worker()] = picture.picture().data();
  }

  /** {@return the array last given back to a worker, now its own, or null} */
  private synchronized byte[] givenBack(int worker) {
    byte[] array = givenBack[worker];
    givenBack[worker] = null;
    return array;
  }

  private synchronized Held takeHeld(int sample) {
    if (foreseen.isEmpty() && foreseeOne() == null) {
      return null;
    }
    if (!passOverTo(sample)) {
      return null;
    }
    boolean interrupted = false;
    while (!held.containsKey(sample) && !failed && !stopping) {
      try {
        wait();
      } catch (InterruptedException e) {
        interrupted = true; // it comes soon: the interrupt is kept for the caller
      }
    }
    if (interrupted) {
      Thread.currentThread().interrupt();
    }
    Held taken = held.remove(sample);
    if (taken == null) {
      return null;
    }
    heldBy[taken.worker()]--;
    notifyAll();
    if (++picturesTaken == foreseen.get(0).samples().size()) {
      foreseen.remove(0);
      takenOn--;
      picturesTaken = 0;
    }
    return taken;
  }

  /**
   * {@return whether a sample is foreseen from the caller's place on} If so, the caller's place
   * moves to it, past the pictures foreseen before it.
   */
  private boolean passOverTo(int sample) {
    int interval = 0;
    int place = -1;
    // Past what is foreseen, the workers may not have got so far yet: foreseen here then.
    for (; interval < foreseen.size() || (sample >= nextFrom && foreseeOne() != null);
        interval++) {
      List<Integer> samples = foreseen.get(interval).samples();
      place = samples.subList(interval == 0 ? picturesTaken : 0, samples.size()).indexOf(sample);
      if (place >= 0) {
        place += interval == 0 ? picturesTaken : 0;
        break;
      }
    }
    if (place < 0) {
      return false;
    }
    for (int i = 0; i <= interval; i++) {
      List<Integer> samples = foreseen.get(0).samples();
      int until = i == interval ? place : samples.size();
      for (int at = picturesTaken; at < until; at++) {
        // A worker is on the interval, or will be: the one asked in is not dropped.
        passOver(samples.get(at), takenOn > 0 || i == interval);
      }
      picturesTaken = until;
      if (i < interval) {
        foreseen.remove(0);
        takenOn = Math.max(0, takenOn - 1);
        picturesTaken = 0;
      }
    }
    notifyAll();
    return true;
  }

  /** Drops a picture passed over, or has its worker skip it when it is still to come. */
  private void passOver(int sample, boolean workerComes) {
    Held dropped = held.remove(sample);
    if (dropped != null) {
      heldBy[dropped.worker()]--;
      givenBack[dropped.worker()] = dropped.picture().data();
    } else if (workerComes) {
      passed.add(sample);
    }
  }

  /**
   * Stops the workers after the grabs under way and waits for their threads to end; the
   * pictures not taken are dropped.
   */
  void stop() {
    synchronized (this) {
      stopping = true;
      notifyAll();
    }
    boolean interrupted = false;
    for (Thread thread : threads) {
      while (thread.isAlive()) {
        try {
          thread.join();
        } catch (InterruptedException e) {
          interrupted = true; // its decoder must not be freed under it
        }
      }
    }
    if (interrupted) {
      Thread.currentThread().interrupt();
    }
    synchronized (this) {
      held.clear();
    }
  }

  /**
   * {@return once stopped, the decoder of a worker that went without failure and has a sample
   * still to come in its interval, for the caller to go on with; or null}
   */
  synchronized IntervalDecoder goingOnTo(int sample, int sync) {
    for (int i = 0; i < working.length; i++) {
      if (!failedOn[i] && working[i] != null && working[i].sync() == sync
          && decoders.get(i).isToCome(sample)) {
        return decoders.get(i);
      }
    }
    return null;
  }
}
