package tq.brindlecast.openh264.bitstream;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Path;
import java.util.Objects;
import tq.brindlecast.openh264.io.AtomicFile;

/**
 * Writes encoded pictures as a raw H.264 (Annex B) stream: each picture's bytes as they are, to
 * a file that appears once {@link #finish() finished}, or to a stream.
 */
public final class AnnexBWriter implements EncodedPictureSink {
  private final AtomicFile file;
  private final OutputStream out;
  private int pictures;
  private boolean finished;
  private boolean aborted;

  private AnnexBWriter(AtomicFile file, OutputStream out) {
    this.file = file;
    this.out = new BufferedOutputStream(out, 1 << 16);
  }

  /**
   * Writes a file, created or replaced when the writer is finished.
   *
   * @throws IOException naming the file if it cannot be written in its folder
   */
  public static AnnexBWriter toFile(Path file) throws IOException {
    AtomicFile atomic = AtomicFile.create(file);
    return new AnnexBWriter(atomic, atomic.stream());
  }

  /** Writes to a stream, which {@link #finish()} and {@link #abort()} close. */
  public static AnnexBWriter toStream(OutputStream out) {
    return new AnnexBWriter(null, Objects.requireNonNull(out, "out must not be null"));
  }

  @Override
  public void write(EncodedFrame frame) throws IOException {
    Objects.requireNonNull(frame, "frame must not be null");
    if (finished || aborted) {
      throw new IllegalStateException(
          "the Annex B writer is " + (finished ? "finished" : "aborted"));
    }
    try {
      out.write(frame.data());
    } catch (IOException failure) {
      abort();
      throw failure;
    }
    pictures++;
  }

  /** As {@link #write(EncodedFrame)}: an Annex B stream has no time stamps. */
  @Override
  public void write(EncodedFrame frame, long timestampMicros) throws IOException {
    write(frame);
  }

  @Override
  public int pictureCount() {
    return pictures;
  }

  @Override
  public void finish() throws IOException {
    if (finished) {
      return;
    }
    if (aborted) {
      throw new IllegalStateException("the Annex B writer was aborted");
    }
    try {
      out.close();
      if (file != null) {
        file.commit();
      }
      finished = true;
    } catch (IOException failure) {
      abort();
      throw failure;
    }
  }

  @Override
  public void abort() {
    if (finished || aborted) {
      return;
    }
    aborted = true;
    if (file != null) {
      file.abort(); // what is buffered goes with it
      return;
    }
    try {
      out.close();
    } catch (IOException ignored) {
      // Giving up already.
    }
  }

  @Override
  public void close() {
    if (!finished && !aborted) {
      abort();
      throw new IllegalStateException(
          "the Annex B writer was closed without finish(): the stream was thrown away");
    }
  }
}
