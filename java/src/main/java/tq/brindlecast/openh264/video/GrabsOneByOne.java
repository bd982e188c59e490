package tq.brindlecast.openh264.video;

import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicLong;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Track;

/**
 * The grabs of a caller asking one picture at a time. When the requests rise by a steady step
 * (a loop such as one picture a second), the pictures they will want are foreseen: the
 * caller's decoder skips the pictures no one refers to that will not be asked for, as a batch
 * does, and with more than one processor a {@link LookAhead} grabs those of the next key-frame
 * intervals on a second decoder while the caller's thread decodes this one: one interval, or a
 * few when the look-ahead keeps ahead of a caller busy with its pictures. A request that finds
 * its picture grabbed ahead takes it; one still to come for the look-ahead's decoder takes that
 * decoder over; a foresight that missed is dropped and the picture grabbed as without it. So a
 * loop that keeps its step decodes no sample twice, with both processors at work.
 *
 * <p>Not thread-safe: the grabber serialises the calls.
 */
final class GrabsOneByOne implements AutoCloseable {
  /** The pictures a look-ahead may hold at most (each a whole decoded picture). */
  private static final int MOST_HELD = 4;
  /** The most key-frame intervals one look-ahead grabs in. */
  private static final int MOST_INTERVALS = 3;
  private final Mp4Reader reader;
  private final Mp4Track track;
  private final AtomicLong samplesDecoded;
  private final boolean mayLookAhead = Runtime.getRuntime().availableProcessors() > 1;
  private final RequestPace pace;
  private IntervalDecoder decoder; // the caller's
  private IntervalDecoder spare; // the next look-ahead's, once made
  private LookAhead ahead; // the one under way or holding pictures, or null
  private long picturesTakenAhead;
  private boolean closed;
  // How many intervals the next look-ahead grabs in: one more after a look-ahead that kept
  // ahead of the caller (the caller's thread has the images to make as well), one fewer after
  // one that kept it waiting.
  private int intervalsAhead = 1;

  GrabsOneByOne(Mp4Reader reader, AtomicLong samplesDecoded) {
    this.reader = reader;
    this.track = reader.videoTrack();
    this.samplesDecoded = samplesDecoded;
    this.pace = new RequestPace(track);
    this.decoder = new IntervalDecoder(reader, samplesDecoded);
  }

  /**
   * {@return the picture of the n-th picture shown, or the key frame before it}
   *
   * @param place the time asked for in seconds, or the picture number: the caller's pace
   * @param byTime whether {@code place} is a time
   */
  DecodedPicture grab(int n, FrameGrabber.Seek seek, double place, boolean byTime)
      throws IOException {
    int sample = track.picture(n).index();
    if (seek == FrameGrabber.Seek.KEY_FRAME) {
      return decoder.grab(sample, seek);
    }
    pace.record(place, byTime);
    int sync = Math.max(0, track.syncSampleAtOrBefore(sample));
    DecodedPicture taken = ahead != null ? fromAhead(sample, sync) : null;
    if (taken != null) {
      picturesTakenAhead++;
      return taken;
    }
    int end = IntervalDecoder.intervalEnd(track, sync);
    if (mayLookAhead && ahead == null && !closed) {
      lookAhead(end);
    }
    List<Integer> planned = new ArrayList<>();
    if (pace.isRising()) {
      planned.add(sample);
      planned.addAll(pace.nextWithin(sync, end));
    }
    decoder.plan(planned); // empty when nothing is foreseen: ready for any later picture
    try {
      return decoder.grab(sample, seek);
    } catch (IOException | RuntimeException failed) {
      decoder.forget(); // it may have stopped half way through a sample
      throw failed;
    }
  }

  /** {@return how many pictures were taken from look-aheads, for tests} */
  long picturesTakenAhead() {
    return picturesTakenAhead;
  }

  /**
   * {@return the look-ahead's picture of a sample, or null to grab it here} A look-ahead in
   * later intervals goes on; one that does not have the picture is stopped, and its decoder
   * taken over when the picture is still to come for it.
   */
  private DecodedPicture fromAhead(int sample, int sync) {
    if (sync < ahead.firstSync()) {
      return null;
    }
    boolean inside = sync <= ahead.lastSync();
    DecodedPicture picture = inside ? ahead.take(sample) : null;
    if (picture == null) {
      boolean sound = ahead.stop();
      intervalsAhead = ahead.callerWaited()
          ? Math.max(1, intervalsAhead - 1) : Math.min(MOST_INTERVALS, intervalsAhead + 1);
      IntervalDecoder used = ahead.decoder();
      ahead = null;
      if (sound && inside && used.isToCome(sample)) {
        spare = decoder;
        decoder = used;
      } else {
        used.forget();
        spare = used;
      }
    }
    return picture;
  }

  /** Starts a look-ahead for the first intervals at or after sample {@code after} foreseen. */
  private void lookAhead(int after) {
    List<LookAhead.Interval> intervals = new ArrayList<>();
    for (int from = after; intervals.size() < intervalsAhead; ) {
      List<Integer> planned = pace.nextInLaterInterval(from);
      if (planned.isEmpty()) {
        break;
      }
      int sync = Math.max(0, track.syncSampleAtOrBefore(planned.get(0)));
      intervals.add(new LookAhead.Interval(sync, planned));
      from = IntervalDecoder.intervalEnd(track, sync);
    }
    if (intervals.isEmpty()) {
      return;
    }
    if (spare == null) {
      try {
        spare = new IntervalDecoder(reader, samplesDecoded);
      } catch (RuntimeException noDecoder) {
        return; // the caller's thread does the work
      }
    }
    ahead = LookAhead.start(spare, intervals, MOST_HELD);
    if (ahead != null) {
      spare = null;
    }
  }

  /** Stops the look-ahead, waiting for its thread, and frees the decoders. */
  @Override
  public void close() {
    closed = true;
    try {
      if (ahead != null) {
        ahead.stop();
        ahead.decoder().close();
        ahead = null;
      }
    } finally {
      try {
        decoder.close();
      } finally {
        if (spare != null) {
          spare.close();
        }
      }
    }
  }
}
