package tq.brindlecast.openh264.bench;

import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Path;

/**
 * Turn taking with the native driver, so that the timed passes of the two alternate one by one
 * and never run at the same time. Two FIFOs carry a one-byte token: the side that goes first runs
 * its passes, hands the token over and waits for it back; the other side waits, runs, and hands
 * it back. Opening the FIFOs waits until the native driver has opened them too, that is until
 * both have finished their untimed first pass.
 */
final class Turns implements AutoCloseable {
  private final OutputStream out;
  private final InputStream in;
  private final boolean first;

  /** Opens {@code out} for writing, then {@code in} for reading: the native order reversed. */
  Turns(Path in, Path out, boolean first) throws IOException {
    this.out = new FileOutputStream(out.toFile());
    this.in = new FileInputStream(in.toFile());
    this.first = first;
  }

  /** Before a turn: waits for the token unless this side goes first. */
  void beforeTurn() throws IOException {
    if (!first) {
      receive();
    }
  }

  /** After a turn: hands the token over; the side that went first then waits for it back. */
  void afterTurn() throws IOException {
    out.write('t');
    out.flush();
    if (first) {
      receive();
    }
  }

  private void receive() throws IOException {
    if (in.read() < 0) {
      throw new IOException("the native driver went away");
    }
  }

  @Override
  public void close() throws IOException {
    try (out) {
      in.close();
    }
  }
}
