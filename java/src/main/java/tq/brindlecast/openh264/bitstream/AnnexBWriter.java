package tq.brindlecast.openh264.bitstream;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Path;
import java.util.Objects;
import tq.brindlecast.openh264.io.AtomicFile;
import tq.brindlecast.openh264.io.OutputLifecycle;

/**
 * Writes encoded pictures as a raw H.264 (Annex B) stream: each picture's bytes as they are, to
 * a file that appears once {@link #finish() finished}, or to a stream.
 */
public final class AnnexBWriter implements EncodedPictureSink {
  private final AtomicFile file;
  private final OutputStream out;
  private final OutputLifecycle lifecycle = new OutputLifecycle("the Annex B writer", this::giveUp);
  private int pictures;

  private AnnexBWriter(AtomicFile file, OutputStream out) {
    this.file = file;
    this.out = new BufferedOutputStream(out, 1 << 16);
  }

  /**
   * Writes a file, created or replaced when the writer is finished.
   *
   * @param file the file to write
   * @return a writer of the file
   * @throws IOException naming the file if it cannot be written in its folder
   */
  public static AnnexBWriter toFile(Path file) throws IOException {
    AtomicFile atomic = AtomicFile.create(file);
    return new AnnexBWriter(atomic, atomic.stream());
  }

  /**
   * Writes to a stream, which {@link #finish()} and {@link #abort()} close.
   *
   * @param out the stream to write
   * @return a writer of the stream
   */
  public static AnnexBWriter toStream(OutputStream out) {
    return new AnnexBWriter(null, Objects.requireNonNull(out, "out must not be null"));
  }

  @Override
  public void write(EncodedFrame frame) throws IOException {
    Objects.requireNonNull(frame, "frame must not be null");
    lifecycle.write(() -> out.write(frame.data()));
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
    lifecycle.finish(
        () -> {
          out.close();
          if (file != null) {
            file.commit();
          }
        });
  }

  @Override
  public void abort() {
    lifecycle.abort();
  }

  @Override
  public void close() {
    lifecycle.close();
  }

  private void giveUp() {
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
}
