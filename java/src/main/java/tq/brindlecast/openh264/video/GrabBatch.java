package tq.brindlecast.openh264.video;

import java.io.IOException;
import java.io.InterruptedIOException;
import java.io.UncheckedIOException;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicLong;
import java.util.concurrent.atomic.AtomicReference;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Track;

/**
 * Many grabs at once: the wanted samples grouped by key-frame interval, the intervals shared out
 * to one worker per available processor, each with its own decoder. Key-frame intervals decode
 * independently, so they can go side by side; within one, the pictures are taken in presentation
 * order, so no sample is decoded twice.
 */
final class GrabBatch {
  /**
   * Takes a picture for the requests at some places; called from the workers. The picture is
   * the sink's only while it runs: the next picture is decoded into its array.
   */
  @FunctionalInterface
  interface PictureSink {
    void accept(List<Integer> requests, DecodedPicture picture) throws IOException;
  }

  /** A sample to grab and the places of the requests that want it. */
  private record Target(int sample, long presentationTime, List<Integer> requests) {}

  private final Mp4Reader reader;
  private final AtomicLong samplesDecoded;
  private final FrameGrabber.Seek seek;
  private final PictureSink sink;
  private final List<List<Target>> intervals;
  private final AtomicInteger nextInterval = new AtomicInteger();
  private final AtomicReference<Throwable> failure = new AtomicReference<>();

  private GrabBatch(Mp4Reader reader, AtomicLong samplesDecoded, FrameGrabber.Seek seek,
      PictureSink sink, List<List<Target>> intervals) {
    this.reader = reader;
    this.samplesDecoded = samplesDecoded;
    this.seek = seek;
    this.sink = sink;
    this.intervals = intervals;
  }

  /**
   * Grabs the pictures of samples.
   *
   * @param samples the wanted samples in decode order, one per request, in any order
   */
  static void run(Mp4Reader reader, AtomicLong samplesDecoded, int[] samples,
      FrameGrabber.Seek seek, PictureSink sink) throws IOException {
    List<List<Target>> intervals = group(reader.videoTrack(), samples, seek);
    new GrabBatch(reader, samplesDecoded, seek, sink, intervals).run();
  }

  /** The targets by key-frame interval, in file order, each interval's in presentation order. */
  private static List<List<Target>> group(Mp4Track track, int[] samples, FrameGrabber.Seek seek) {
    Map<Integer, Map<Integer, Target>> byInterval = new TreeMap<>();
    for (int request = 0; request < samples.length; request++) {
      int sync = Math.max(0, track.syncSampleAtOrBefore(samples[request]));
      int sample = seek == FrameGrabber.Seek.KEY_FRAME ? sync : samples[request];
      byInterval.computeIfAbsent(sync, key -> new TreeMap<>())
          .computeIfAbsent(sample, key ->
              new Target(key, track.sample(key).presentationTime(), new ArrayList<>()))
          .requests().add(request);
    }
    List<List<Target>> intervals = new ArrayList<>();
    for (Map<Integer, Target> targets : byInterval.values()) {
      List<Target> ordered = new ArrayList<>(targets.values());
      ordered.sort(Comparator.comparingLong(Target::presentationTime)
          .thenComparingInt(Target::sample));
      intervals.add(ordered);
    }
    return intervals;
  }

  private void run() throws IOException {
    int workers = Math.min(intervals.size(), Runtime.getRuntime().availableProcessors());
    List<Thread> threads = new ArrayList<>();
    for (int i = 1; i < workers; i++) {
      Thread thread = new Thread(this::work, "frame-grabber-" + i);
      thread.setDaemon(true);
      threads.add(thread);
      thread.start();
    }
    work(); // the caller is a worker too
    try {
      for (Thread thread : threads) {
        thread.join();
      }
    } catch (InterruptedException interrupted) {
      failure.compareAndSet(null, interrupted);
      Thread.currentThread().interrupt();
      throw new InterruptedIOException("interrupted while grabbing pictures");
    }
    rethrow(failure.get());
  }

  /** Takes intervals until none is left or a worker failed. */
  private void work() {
    try (IntervalDecoder decoder = new IntervalDecoder(reader, samplesDecoded)) {
      for (int i; failure.get() == null && (i = nextInterval.getAndIncrement()) < intervals.size();
          ) {
        List<Target> targets = intervals.get(i);
        if (seek == FrameGrabber.Seek.PRECISE) {
          decoder.plan(targets.stream().map(Target::sample).toList());
        }
        for (Target target : targets) {
          DecodedPicture picture = decoder.grab(target.sample(), seek);
          sink.accept(target.requests(), picture);
          decoder.reuse(picture.data());
          if (failure.get() != null) {
            return;
          }
        }
      }
    } catch (Throwable thrown) {
      failure.compareAndSet(null, thrown);
    }
  }

  private static void rethrow(Throwable thrown) throws IOException {
    if (thrown == null) {
      return;
    }
    if (thrown instanceof IOException io) {
      throw io;
    }
    if (thrown instanceof RuntimeException runtime) {
      throw runtime;
    }
    if (thrown instanceof Error error) {
      throw error;
    }
    throw new UncheckedIOException(new IOException(thrown));
  }
}
