package tq.brindlecast.openh264.tool;

import java.util.ArrayDeque;
import tq.brindlecast.openh264.I420Picture;

/**
 * Pairs each decoded picture with the source picture it came from and adds the pair to a {@link
 * Psnr}. Only pictures whose bytes reached the decoder are queued, so pictures that rate control
 * skipped never shift the pairing; a decoder that holds a picture back returns it later, still
 * paired with its own source.
 */
final class Comparison {
  private final ArrayDeque<I420Picture> pending = new ArrayDeque<>();
  private final Psnr psnr = new Psnr();

  /** A source picture whose encoded bytes were handed to the decoder. */
  void sent(I420Picture source) {
    pending.addLast(source);
  }

  /** The decoder could not decode the picture sent last: it will never come out. */
  void lost() {
    pending.pollLast();
  }

  /**
   * A picture came out of the decoder: it belongs to the oldest source still waiting.
   *
   * @throws IllegalStateException if no source is waiting
   */
  void received(I420Picture decoded) {
    I420Picture source = pending.pollFirst();
    if (source == null) {
      throw new IllegalStateException("the decoder returned more pictures than it was sent");
    }
    psnr.add(source, decoded);
  }

  /** The number of sources still waiting for their decoded picture. */
  int waiting() {
    return pending.size();
  }

  /** The PSNR over the pairs so far. */
  Psnr psnr() {
    return psnr;
  }
}
