package tq.brindlecast.openh264.bench;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/** Reads the inputs whole before any timing, and writes the first pass's outputs. */
final class BenchFiles {
  private BenchFiles() {}

  /** The first {@code frames} packed I420 pictures of a raw file, one array each. */
  static List<byte[]> readPictures(Path raw, int width, int height, int frames)
      throws IOException {
    byte[] all = Files.readAllBytes(raw);
    int pictureBytes = width * height * 3 / 2;
    if ((long) pictureBytes * frames > all.length) {
      throw new IOException(raw + " holds fewer than " + frames + " pictures of " + width + "x"
          + height);
    }
    List<byte[]> pictures = new ArrayList<>();
    for (int i = 0; i < frames; i++) {
      pictures.add(Arrays.copyOfRange(all, i * pictureBytes, (i + 1) * pictureBytes));
    }
    return pictures;
  }

  /** The access units of a stream, cut at the byte counts listed one per line. */
  static List<byte[]> readUnits(Path stream, Path sizes) throws IOException {
    byte[] all = Files.readAllBytes(stream);
    List<byte[]> units = new ArrayList<>();
    int position = 0;
    for (String line : Files.readAllLines(sizes, StandardCharsets.US_ASCII)) {
      if (line.isBlank()) {
        continue;
      }
      int size = Integer.parseInt(line.trim());
      if (size <= 0 || position + size > all.length) {
        throw new IOException(sizes + " does not describe " + stream);
      }
      units.add(Arrays.copyOfRange(all, position, position + size));
      position += size;
    }
    if (position != all.length) {
      throw new IOException(sizes + " does not describe " + stream);
    }
    return units;
  }

  /** Writes the byte counts one per line, the form {@link #readUnits} reads. */
  static void writeSizes(Path path, List<Integer> sizes) throws IOException {
    StringBuilder text = new StringBuilder();
    for (int size : sizes) {
      text.append(size).append('\n');
    }
    Files.writeString(path, text, StandardCharsets.US_ASCII);
  }

  /** The output path for one side: the prefix with "-" + side + suffix appended. */
  static Path output(Path prefix, String side, String suffix) {
    return prefix.resolveSibling(prefix.getFileName() + "-" + side + suffix);
  }
}
