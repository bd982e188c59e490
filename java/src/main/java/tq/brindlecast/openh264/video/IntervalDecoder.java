package tq.brindlecast.openh264.video;

import java.io.IOException;
import java.util.Arrays;
import java.util.Comparator;
import java.util.concurrent.atomic.AtomicLong;
import tq.brindlecast.openh264.CodecException;
import tq.brindlecast.openh264.DecodeResult;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Sample;
import tq.brindlecast.openh264.mp4.Mp4Track;

/**
 * One decoder walking through key-frame intervals (a sync sample and the samples up to the next
 * one), so that pictures asked for in presentation order within an interval cost each sample one
 * decode.
 *
 * <p>The decoder hands out an interval's pictures in presentation order, so the k-th picture it
 * gives is the sample with the k-th presentation time (ties by decode order) among the
 * interval's samples. A picture still ahead in the interval the decoder is in is reached by
 * decoding on; any other starts the interval again from its sync sample. At the interval's end
 * the decoder is drained, and a drained OpenH264 decoder is reconfigured before new input (it
 * may have no picture buffer free otherwise). When a sample fails, the count of pictures can no
 * longer be trusted: the picture is then decoded alone from its sync sample, which gives the
 * same picture or the same error as a single grab.
 *
 * <p>Not thread-safe: one per thread.
 */
final class IntervalDecoder implements AutoCloseable {
  private final Mp4Reader reader;
  private final Mp4Track track;
  private final AtomicLong samplesDecoded;
  private final H264Decoder decoder = new H264Decoder();
  private int first = -1; // the sync sample of the interval under way; -1 for none
  private int end; // the sample after the interval
  private int next; // the next sample to decode
  private int produced; // the pictures the decoder has handed out in this interval
  private int[] ranks; // ranks[i - first]: where sample i's picture comes out

  IntervalDecoder(Mp4Reader reader, AtomicLong samplesDecoded) {
    this.reader = reader;
    this.track = reader.videoTrack();
    this.samplesDecoded = samplesDecoded;
  }

  /** {@return the sync sample where decoding must start to reach a sample} */
  int syncSampleOf(int sample) {
    return Math.max(0, track.syncSampleAtOrBefore(sample));
  }

  /**
   * {@return the picture of a sample, or with {@link FrameGrabber.Seek#KEY_FRAME} that of the
   * sync sample before it, decoded alone}
   */
  DecodedPicture grab(int sample, FrameGrabber.Seek seek) throws IOException {
    int sync = syncSampleOf(sample);
    if (seek == FrameGrabber.Seek.KEY_FRAME) {
      return decodeAlone(sync, sync);
    }
    if (!isAhead(sample)) {
      start(sync);
    }
    DecodedPicture picture = decodeOnTo(ranks[sample - first]);
    return picture != null ? picture : decodeAlone(sync, sample);
  }

  /** Tells whether a sample's picture has yet to come out of the interval under way. */
  private boolean isAhead(int sample) {
    return first >= 0 && sample >= first && sample < end && ranks[sample - first] >= produced;
  }

  private void start(int sync) {
    decoder.reconfigure(decoder.getConfig());
    first = sync;
    end = sync + 1;
    while (end < track.sampleCount() && !track.sample(end).sync()) {
      end++;
    }
    next = sync;
    produced = 0;
    Mp4Sample[] samples = new Mp4Sample[end - first];
    for (int i = first; i < end; i++) {
      samples[i - first] = track.sample(i);
    }
    Arrays.sort(samples, Comparator.comparingLong(Mp4Sample::presentationTime)
        .thenComparingInt(Mp4Sample::index));
    ranks = new int[samples.length];
    for (int rank = 0; rank < samples.length; rank++) {
      ranks[samples[rank].index() - first] = rank;
    }
  }

  /**
   * {@return the interval's picture of a rank, decoding on (and draining at the end) until it
   * comes out, or null when a sample failed or the pictures ran out}
   */
  private DecodedPicture decodeOnTo(int rank) throws IOException {
    while (true) {
      DecodedPicture picture;
      if (next < end) {
        DecodeResult result = decoder.decodeAccessUnit(reader.readSample(next++));
        samplesDecoded.incrementAndGet();
        if (result.failed()) {
          first = -1;
          return null;
        }
        picture = result.picture();
      } else {
        picture = decoder.drain();
        if (picture == null) {
          first = -1;
          return null;
        }
      }
      if (picture != null && produced++ == rank) {
        return picture;
      }
    }
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
