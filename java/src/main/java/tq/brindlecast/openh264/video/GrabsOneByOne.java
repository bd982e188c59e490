package tq.brindlecast.openh264.video;

import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicLong;
import java.util.function.Function;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Track;

/**
 * The grabs of a caller asking one picture at a time. When the requests rise by a steady step
 * (a loop such as one picture a second), the pictures they will want are foreseen: the
 * caller's decoder skips the pictures no one refers to that will not be asked for, as a batch
 * does, and with more than one processor a {@link LookAhead} grabs those of the key-frame
 * intervals after the caller's on decoders of its own, one per processor (at most {@value
 * #MOST_WORKERS}), which also make the images asked for, while the caller's thread uses them. A
 * request that finds its picture grabbed ahead takes it; a request out of the foreseen turn
 * stops the look-ahead, taking over the decoder of a worker it is still to come for, or grabbing
 * the picture as without it. So a loop that keeps its step decodes no sample twice, with all the
 * processors at work.
 *
 * <p>Not thread-safe: the grabber serialises the calls.
 */
final class GrabsOneByOne implements AutoCloseable {
  /** The pictures a look-ahead may hold at most (each a whole decoded picture). */
  private static final int MOST_HELD = 4;
  /** The most decoders a look-ahead runs: past that the caller's own thread is the limit. */
  private static final int MOST_WORKERS = 4;
  private final Mp4Reader reader;
  private final Mp4Track track;
  private final AtomicLong samplesDecoded;
  private final int workers =
      Math.min(MOST_WORKERS, Runtime.getRuntime().availableProcessors());
  private final RequestPace pace;
  private IntervalDecoder decoder; // the caller's
  private final List<IntervalDecoder> spares = new ArrayList<>(); // for the next look-ahead
  private LookAhead ahead; // the one under way, or null
  private long picturesTakenAhead;
  private boolean closed;

  GrabsOneByOne(Mp4Reader reader, AtomicLong samplesDecoded) {
    this.reader = reader;
    this.track = reader.videoTrack();
    this.samplesDecoded = samplesDecoded;
    this.pace = new RequestPace(track);
    this.decoder = new IntervalDecoder(reader, samplesDecoded);
  }

  /**
   * {@return the n-th picture shown, or the key frame before it, made into what {@code finish}
   * makes of it}
   *
   * @param place the time asked for in seconds, or the picture number: the caller's pace
   * @param byTime whether {@code place} is a time
   * @param finish what to make of the picture (an image, say), on the look-ahead's threads for
   *     pictures grabbed ahead; null for the picture itself
   */
  Object grab(int n, FrameGrabber.Seek seek, double place, boolean byTime,
      Function<DecodedPicture, ?> finish) throws IOException {
    int sample = track.picture(n).index();
    if (seek == FrameGrabber.Seek.KEY_FRAME) {
      return made(decoder, decoder.grab(sample, seek), finish);
    }
    pace.record(place, byTime);
    int sync = Math.max(0, track.syncSampleAtOrBefore(sample));
    Object taken = ahead != null ? fromAhead(sample, sync, finish) : null;
    if (taken != null) {
      picturesTakenAhead++;
      return taken;
    }
    int end = IntervalDecoder.intervalEnd(track, sync);
    if (workers > 1 && ahead == null && !closed && pace.isRising()) {
      lookAhead(end, finish);
    }
    List<Integer> planned = new ArrayList<>();
    if (pace.isRising()) {
      planned.add(sample);
      planned.addAll(pace.nextWithin(sync, end));
    }
    decoder.plan(planned); // empty when nothing is foreseen: ready for any later picture
    DecodedPicture picture;
    try {
      picture = decoder.grab(sample, seek);
    } catch (IOException | RuntimeException failed) {
      decoder.forget(); // it may have stopped half way through a sample
      throw failed;
    }
    return made(decoder, picture, finish);
  }

  /** {@return what {@code finish} makes of a picture, whose array then goes back to its decoder} */
  private static Object made(IntervalDecoder from, DecodedPicture picture,
      Function<DecodedPicture, ?> finish) {
    if (finish == null) {
      return picture;
    }
    Object made = finish.apply(picture);
    from.reuse(picture.data()); // an image is a copy
    return made;
  }

  /** {@return how many pictures were taken from look-aheads, for tests} */
  long picturesTakenAhead() {
    return picturesTakenAhead;
  }

  /**
   * {@return the look-ahead's picture of a sample, or null to grab it here} A request before the
   * look-ahead's intervals leaves it going; one out of its turn stops it, and takes over the
   * decoder of a worker the picture is still to come for.
   */
  private Object fromAhead(int sample, int sync, Function<DecodedPicture, ?> finish) {
    if (sync < ahead.firstSync()) {
      return null;
    }
    Object picture = ahead.take(sample, finish);
    if (picture == null) {
      ahead.stop();
      IntervalDecoder goingOn = ahead.goingOnTo(sample, sync);
      for (IntervalDecoder used : ahead.decoders()) {
        if (used != goingOn) {
          used.forget();
          spares.add(used);
        }
      }
      ahead = null;
      if (goingOn != null) {
        spares.add(decoder);
        decoder = goingOn;
      }
    }
    return picture;
  }

  /** Starts a look-ahead for the intervals foreseen at or after sample {@code after}. */
  private void lookAhead(int after, Function<DecodedPicture, ?> finish) {
    while (spares.size() < workers) {
      try {
        spares.add(new IntervalDecoder(reader, samplesDecoded));
      } catch (RuntimeException noDecoder) {
        break; // fewer workers, or the caller's thread does the work
      }
    }
    if (spares.isEmpty()) {
      return;
    }
    RequestPace foreseen = pace.copy(); // the workers foresee from the pace as it is now
    ahead = LookAhead.start(spares, from -> {
      List<Integer> samples = foreseen.nextInLaterInterval(from);
      if (samples.isEmpty()) {
        return null;
      }
      int sync = Math.max(0, track.syncSampleAtOrBefore(samples.get(0)));
      return new LookAhead.Interval(sync, IntervalDecoder.intervalEnd(track, sync), samples);
    }, after, MOST_HELD, finish);
    if (ahead != null) {
      spares.clear();
    }
  }

  /** Stops the look-ahead, waiting for its threads, and frees the decoders. */
  @Override
  public void close() {
    closed = true;
    if (ahead != null) {
      ahead.stop();
      spares.addAll(ahead.decoders());
      ahead = null;
    }
    spares.add(decoder);
    for (IntervalDecoder each : spares) {
      each.close();
    }
    spares.clear();
  }
}
