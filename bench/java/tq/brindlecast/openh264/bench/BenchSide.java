package tq.brindlecast.openh264.bench;

import java.io.IOException;

/** One way of driving a codec over the benchmark's pictures; a pass handles them all once. */
interface BenchSide extends AutoCloseable {
  /** The name printed in the result lines: "jni" (through Native) or "api". */
  String name();

  /**
   * Runs one pass over every input.
   *
   * @param sink receives each output, or null in a timed pass
   * @return the number of pictures the pass produced
   */
  int pass(OutputSink sink) throws IOException;

  @Override
  void close();
}
