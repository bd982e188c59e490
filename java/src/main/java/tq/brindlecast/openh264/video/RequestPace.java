package tq.brindlecast.openh264.video;

import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;
import tq.brindlecast.openh264.mp4.Mp4Track;

/**
 * The pace of a caller asking for pictures one by one: from the last two requests, the pictures
 * the next ones will want if the caller goes on with the same step (a loop over times or picture
 * numbers, such as one picture a second). Requests by time and by number are paced apart.
 */
final class RequestPace {
  /** How many steps ahead are looked at for one interval, however small the step. */
  private static final int MOST_STEPS = 1000;
  /** How far from a foreseen time (in seconds) a rounded time asked for may land. */
  private static final double TIME_TOLERANCE = 0.001;
  private final Mp4Track track;
  private boolean byTime;
  private double previous = Double.NaN;
  private double last = Double.NaN;

  RequestPace(Mp4Track track) {
    this.track = track;
  }

  /** {@return a pace that goes on from this one's last two requests, for another thread} */
  RequestPace copy() {
    RequestPace copy = new RequestPace(track);
    copy.byTime = byTime;
    copy.previous = previous;
    copy.last = last;
    return copy;
  }

  /**
   * {@return the picture shown at a time, or -1 when there is none} A micro-tick of tolerance
   * lets a time written in decimal find the picture it names.
   */
  static int pictureShownAt(Mp4Track track, double seconds) {
    return seconds >= 0 && seconds < Double.MAX_VALUE / track.timescale()
        ? track.pictureAt((long) Math.floor(seconds * track.timescale() + 1e-6))
        : -1;
  }

  /**
   * Takes a request.
   *
   * @param place the time asked for in seconds, or the picture number
   * @param byTime whether {@code place} is a time
   */
  void record(double place, boolean byTime) {
    previous = byTime == this.byTime ? last : Double.NaN;
    last = place;
    this.byTime = byTime;
  }

  /** {@return whether the requests rise by a steady step, so that the next can be foreseen} */
  boolean isRising() {
    return last - previous > 0;
  }

  /**
   * {@return the samples the next requests will want within samples {@code start} to {@code end}
   * (exclusive, in decode order), each once, in the order they will be asked for: those of the
   * requests right after the last, until one falls outside}
   */
  List<Integer> nextWithin(int start, int end) {
    return samplesFrom(1, start, end);
  }

  /**
   * {@return the samples the next requests will want in the first key-frame interval at or after
   * sample {@code after} that one of them falls in, in the order they will be asked for; empty
   * when none will}
   */
  List<Integer> nextInLaterInterval(int after) {
    long lastStep = lastStepWithinVideo();
    if (lastStep < 1) {
      return List.of();
    }
    // The first step landing at or after the sample: the samples rise with the steps.
    long low = 1;
    long high = lastStep;
    while (low < high) {
      long middle = (low + high) >>> 1;
      int sample = sampleAfter(middle, 0);
      if (sample < 0 || sample >= after) {
        high = middle;
      } else {
        low = middle + 1;
      }
    }
    int sample = sampleAfter(low, 0);
    if (sample < after) {
      return List.of();
    }
    int sync = Math.max(0, track.syncSampleAtOrBefore(sample));
    return samplesFrom(low, sync, IntervalDecoder.intervalEnd(track, sync));
  }

  /**
   * The samples of the requests from step {@code first} on while they fall in start..end. Times
   * are often rounded (a step of 0.3333 s, then 0.3334 s), so a time foreseen next to the edge of
   * a picture, but not on it, foresees the pictures on both sides; the step before the first may
   * reach in too.
   */
  private List<Integer> samplesFrom(long first, int start, int end) {
    Set<Integer> samples = new LinkedHashSet<>();
    if (!isRising()) {
      return List.of();
    }
    double onEdge = 1e-5 / track.timescale(); // a time this much earlier is in the picture before
    for (long k = Math.max(1, first - 1); k < first + MOST_STEPS; k++) {
      int nominal = sampleAfter(k, 0);
      int early = sampleAfter(k, -TIME_TOLERANCE);
      int late = sampleAfter(k, TIME_TOLERANCE);
      boolean both = early != late && sampleAfter(k, -onEdge) == nominal;
      for (int sample : both ? new int[] {early, late} : new int[] {nominal}) {
        if (sample >= start && sample < end) {
          samples.add(sample);
        }
      }
      if (nominal < 0 || Math.min(nominal, early) >= end) {
        break;
      }
    }
    return new ArrayList<>(samples);
  }

  /** {@return the last step that still lands in the video, or 0 when none does} */
  private long lastStepWithinVideo() {
    if (!isRising()) {
      return 0;
    }
    double limit = byTime ? track.toSeconds(track.duration()) : track.pictureCount() - 1;
    double steps = Math.floor((limit - last) / (last - previous));
    return steps >= 1 ? (long) Math.min(steps, Long.MAX_VALUE / 2) : 0;
  }

  /**
   * {@return the sample the request {@code k} steps after the last will want, or -1} A time is
   * taken {@code shift} seconds later; numbers are not shifted.
   */
  private int sampleAfter(long k, double shift) {
    double place = last + k * (last - previous);
    int n;
    if (byTime) {
      n = pictureShownAt(track, place + shift);
    } else {
      n = place < track.pictureCount() ? (int) place : -1;
    }
    return n < 0 ? -1 : track.picture(n).index();
  }
}
