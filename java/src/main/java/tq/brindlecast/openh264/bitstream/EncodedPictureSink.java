package tq.brindlecast.openh264.bitstream;

import java.io.Closeable;
import java.io.IOException;

/**
 * Where encoded pictures go: a file or a stream, in Annex B or a container. The output is
 * complete only after {@link #finish()}; {@link #abort()} gives it up, and so does {@link
 * #close()} without a finish, so an exception inside try-with-resources never leaves a partial
 * file under the target's name:
 *
 * <pre>{@code
 * try (EncodedPictureSink sink = Mp4Writer.toFile(path, width, height, fps)) {
 *   for (EncodedFrame frame : frames) sink.write(frame);
 *   sink.finish();                 // without this, close() throws the output away
 * }
 * }</pre>
 *
 * <p>A file output appears under its name, complete, only when it is finished, and a file
 * already there stays untouched until then; an aborted one leaves no temporary file. A stream
 * output is closed either way, since what it sent cannot be taken back.
 */
public interface EncodedPictureSink extends Closeable {
  /**
   * Appends a picture, one frame interval after the previous one.
   *
   * @param frame the encoded picture
   * @throws IllegalArgumentException if the picture cannot go into this output; nothing is
   *     written then and the sink stays usable
   * @throws IOException if writing fails; the sink is aborted then
   */
  void write(EncodedFrame frame) throws IOException;

  /**
   * Appends a picture shown at a time stamp, in increasing microseconds on any clock. An output
   * without time stamps (Annex B) ignores it.
   *
   * @param frame the encoded picture
   * @param timestampMicros when it is shown, in microseconds
   * @throws IllegalArgumentException if the time stamp does not increase or the picture cannot go
   *     into this output; nothing is written then and the sink stays usable
   * @throws IOException if writing fails; the sink is aborted then
   */
  void write(EncodedFrame frame, long timestampMicros) throws IOException;

  /** {@return the number of pictures written so far} */
  int pictureCount();

  /**
   * Completes the output: a file moved into place, or a stream completed and closed. Finishing
   * again does nothing.
   *
   * @throws IOException if writing fails; nothing is left under the target's name then (the
   *     sink is aborted)
   * @throws IllegalStateException if the sink was aborted
   */
  void finish() throws IOException;

  /**
   * Completes the output as {@link #finish()} does, with the last picture shown until {@code
   * endMicros} rather than for as long as the one before it, so that a video whose last pictures
   * were dropped (skipped by rate control) keeps its length. An output without time stamps, or an
   * end not after the last picture, finishes as {@link #finish()} does.
   *
   * @param endMicros when the last picture ends, on the clock of the time stamps given to {@link
   *     #write(EncodedFrame, long)}
   * @throws IOException if writing fails; nothing is left under the target's name then
   * @throws IllegalStateException if the sink was aborted
   */
  default void finishAt(long endMicros) throws IOException {
    finish();
  }

  /**
   * Gives the output up: a file's temporary data removed (a file already at the target stays as
   * it was), a stream closed. Does nothing once finished or aborted.
   */
  void abort();

  /**
   * Aborts unless {@link #finish()} or {@link #abort()} came first.
   *
   * @throws IllegalStateException when the sink was neither finished nor aborted nor failed, after
   *     aborting it: the output was thrown away, which a caller who meant to keep it must hear
   *     (inside try-with-resources that ends by an exception this one is only suppressed)
   */
  @Override
  void close();
}
