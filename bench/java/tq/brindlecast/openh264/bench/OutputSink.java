package tq.brindlecast.openh264.bench;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/** Writes the outputs of the untimed pass to a file, and their byte counts next to it. */
final class OutputSink implements AutoCloseable {
  private final Path path;
  private final boolean writeSizes;
  private final OutputStream out;
  private final List<Integer> sizes = new ArrayList<>();

  OutputSink(Path path, boolean writeSizes) throws IOException {
    this.path = path;
    this.writeSizes = writeSizes;
    this.out = new BufferedOutputStream(Files.newOutputStream(path), 1 << 20);
  }

  void add(byte[] bytes, int offset, int length) throws IOException {
    out.write(bytes, offset, length);
    sizes.add(length);
  }

  @Override
  public void close() throws IOException {
    out.close();
    if (writeSizes) {
      BenchFiles.writeSizes(path.resolveSibling(path.getFileName() + ".sizes"), sizes);
    }
  }
}
