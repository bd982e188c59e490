package tq.brindlecast.openh264.bitstream;

import java.io.Closeable;
import java.io.IOException;

/**
 * Where access units come from, in decode order, whatever holds them: an Annex B file or stream
 * ({@link AnnexBAccessUnits}) or an MP4 or QuickTime file ({@code Mp4AccessUnits}). Each unit
 * carries its decode and presentation times, whether it is a key frame, and whether it is shown
 * (an MP4's edit list may leave pictures out).
 */
public interface AccessUnitSource extends Closeable {
  /**
   * Returns the next access unit in decode order.
   *
   * @return the unit, or null after the last one
   * @throws IOException if reading fails or the container is malformed
   */
  AccessUnit next() throws IOException;

  /** {@return the number of bytes of video read so far} */
  long bytesRead();
}
