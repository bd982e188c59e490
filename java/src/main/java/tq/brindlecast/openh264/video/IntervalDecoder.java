package tq.brindlecast.openh264.video;

import java.io.IOException;
import java.util.Collection;
import java.util.Comparator;
import java.util.HashSet;
import java.util.Set;
import java.util.TreeSet;
import java.util.concurrent.atomic.AtomicLong;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Sample;
import tq.brindlecast.openh264.mp4.Mp4Track;

/**
 * One decoder walking through key-frame intervals (a sync sample and the samples up to the next
 * one), so that pictures asked for in presentation order within an interval cost each sample
 * at most one decode.
 *
 * <p>The decoder hands out the pictures it has in presentation order and never one before a
 * picture shown earlier that is still to come, so each picture it gives is the earliest shown of
 * the samples decoded and not yet handed out. Pictures no other picture refers to (nal_ref_idc 0)
 * are skipped unless they may still be asked for: with a plan (a batch, or the grabs a caller
 * asking one by one is expected to make), the planned ones; without, those shown after the
 * picture asked for. A picture still to come in the interval the decoder
 * is in is reached by decoding on; any other starts the interval again at its sync sample. The
 * decoder is drained at the interval's end, or with a plan once the last planned sample is in,
 * and a drained OpenH264 decoder is reconfigured before new input (it may have no picture buffer
 * free otherwise). When a sample fails, or the pictures do not add up, the picture is decoded
 * alone from its sync sample as a single grab does, which gives the same picture or the same
 * error.
 *
 * <p>Not thread-safe: one per thread.
 */
final class IntervalDecoder implements AutoCloseable {
  /** NAL unit types besides slices that later pictures do without (12: filler data). */
  private static final Set<Integer> NOTHING_LATER_NEEDS =
      Set.of(NalUnit.TYPE_SEI, NalUnit.TYPE_AUD, 12);
  private final Mp4Reader reader;
  private final Mp4Track track;
  private final AtomicLong samplesDecoded;
  private final H264Decoder decoder = new H264Decoder();
  private final Comparator<Integer> shownOrder;
  private int first = -1; // the sync sample of the interval under way; -1 for none
  private int end; // the sample after the interval
  private int next; // the next sample to decode or skip
  private boolean draining;
  private TreeSet<Integer> decodedNotOut; // in presentation order
  private Set<Integer> planned = new HashSet<>(); // the planned samples still to grab
  private int lastPlanned = -1; // the last of them in decode order; -1 one by one
  // A passed-over picture's array for the next picture: a new 1.4 MB array per 720p picture
  // costs more than the copy, with G1 most of all (each is a humongous object).
  private byte[] spare;

  IntervalDecoder(Mp4Reader reader, AtomicLong samplesDecoded) {
    this.reader = reader;
    this.track = reader.videoTrack();
    this.samplesDecoded = samplesDecoded;
    this.shownOrder = Comparator.<Integer>comparingLong(i -> track.sample(i).presentationTime())
        .thenComparingInt(i -> i);
  }

  /**
   * Plans a batch of grabs within one key-frame interval, to be made in presentation order:
   * other pictures no one refers to are skipped, and the decoder is drained after the last. An
   * empty plan grabs one by one, ready for any later picture.
   */
  void plan(Collection<Integer> samples) {
    planned = new HashSet<>(samples);
    lastPlanned = samples.stream().mapToInt(Integer::intValue).max().orElse(-1);
  }

  /**
   * {@return the picture of a sample, or with {@link FrameGrabber.Seek#KEY_FRAME} that of the
   * sync sample before it, decoded alone}
   */
  DecodedPicture grab(int sample, FrameGrabber.Seek seek) throws IOException {
    int sync = Math.max(0, track.syncSampleAtOrBefore(sample));
    if (seek == FrameGrabber.Seek.KEY_FRAME) {
      return decodeAlone(sync, sync);
    }
    if (!isToCome(sample)) {
      start(sync);
    }
    DecodedPicture picture = decodeOnTo(sample);
    planned.remove(sample);
    return picture != null ? picture : decodeAlone(sync, sample);
  }

  /**
   * Takes back the array of a picture this decoder gave out that nothing reads any more (made
   * into an image, say), to decode the next picture into; null is ignored.
   */
  void reuse(byte[] data) {
    if (data != null) {
      spare = data;
    }
  }

  /** Tells whether a sample's picture is still to come out of the interval under way. */
  boolean isToCome(int sample) {
    return first >= 0 && sample >= first && sample < end
        && (decodedNotOut.contains(sample) || (sample >= next && !draining));
  }

  /** Makes the next grab start at its sync sample: after a failure the state may be half made. */
  void forget() {
    first = -1;
  }

  /** {@return the sample after the key-frame interval that starts at sync sample {@code sync}} */
  static int intervalEnd(Mp4Track track, int sync) {
    int end = sync + 1;
    while (end < track.sampleCount() && !track.sample(end).sync()) {
      end++;
    }
    return end;
  }

  private void start(int sync) {
    decoder.reconfigure(decoder.getConfig());
    first = sync;
    end = intervalEnd(track, sync);
    next = sync;
    draining = false;
    decodedNotOut = new TreeSet<>(shownOrder);
  }

  /**
   * {@return the picture of a sample, decoding on (and draining at the end) until it comes out,
   * or null when a sample failed or the pictures did not add up}
   */
  private DecodedPicture decodeOnTo(int sample) throws IOException {
    int lastToDecode = lastPlanned >= 0 ? Math.min(lastPlanned, end - 1) : end - 1;
    while (true) {
      DecodedPicture picture;
      if (!draining && next <= lastToDecode) {
        int i = next++;
        byte[] unit = reader.readSample(i);
        if (!mayBeSkipped(i, sample, unit)) {
          DecodeResult result = decoder.decodeAccessUnit(unit, 0, unit.length, spare);
          samplesDecoded.incrementAndGet();
          if (result.failed()) {
            first = -1;
            return null;
          }
          decodedNotOut.add(i);
          picture = result.picture();
        } else {
          picture = null;
        }
      } else {
        draining = true;
        picture = decoder.drain();
        if (picture == null) {
          first = -1;
          return null;
        }
      }
      if (picture != null) {
        Integer out = decodedNotOut.pollFirst();
        if (out == null) {
          first = -1;
          return null;
        }
        if (out == sample) {
          spare = null; // the caller keeps this one
          return picture;
        }
        spare = picture.data();
      }
    }
  }

  /**
   * Tells whether a sample can go undecoded: no picture refers to it, it carries no parameter
   * set, and it is not asked for, nor may be later.
   */
  private boolean mayBeSkipped(int i, int wanted, byte[] unit) {
    if (i == wanted || planned.contains(i)) {
      return false;
    }
    if (lastPlanned < 0 && shownOrder.compare(i, wanted) > 0) {
      return false; // one by one, a later call may ask for it
    }
    boolean slices = false;
    for (NalUnit nal : AnnexB.nalUnits(unit)) {
      if (nal.type() == NalUnit.TYPE_SLICE && nal.refIdc() == 0) {
        slices = true;
      } else if (!NOTHING_LATER_NEEDS.contains(nal.type())) {
        return false; // a picture referred to, a parameter set for later pictures...
      }
    }
    return slices;
  }

  /**
   * {@return the picture of sample {@code last}, decoded from sample {@code sync} up to it and
   * drained} The decoder is left drained, outside any interval.
   */
  private DecodedPicture decodeAlone(int sync, int last) throws IOException {
    first = -1;
    Mp4Sample wanted = track.sample(last);
    // The decoder hands out the pictures of samples sync..last in presentation order.
    int rank = 0;
    for (int i = sync; i <= last; i++) {
      Mp4Sample other = track.sample(i);
      if (other.presentationTime() < wanted.presentationTime()
          || (other.presentationTime() == wanted.presentationTime() && i < last)) {
        rank++;
      }
    }
    decoder.reconfigure(decoder.getConfig());
    int produced = 0;
    DecodedPicture found = null;
    String reason = null;
    for (int i = sync; i <= last; i++) {
      DecodeResult result = decoder.decodeAccessUnit(reader.readSample(i));
      samplesDecoded.incrementAndGet();
      if (reason == null && result.failed()) {
        reason = result.reason();
      }
      if (result.picture() != null && produced++ == rank) {
        found = result.picture();
      }
    }
    for (DecodedPicture held; (held = decoder.drain()) != null; ) {
      if (produced++ == rank) {
        found = held;
      }
    }
    if (produced != last - sync + 1 || found == null) {
      // The file was read; the codec could not turn its samples into pictures.
      throw new CodecException(
          "decoding samples " + (sync + 1) + " to " + (last + 1) + " gave " + produced
              + " pictures instead of " + (last - sync + 1) + ": "
              + (reason != null ? reason : "OpenH264 could not decode them"));
    }
    return found;
  }

  @Override
  public void close() {
    decoder.close();
  }
}
