package tq.brindlecast.openh264.mp4;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.channels.FileChannel;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;

/**
 * A progressive MP4 file with {@code moov} first: the samples go to a temporary file beside the
 * target while they come; closing writes {@code ftyp}, {@code moov} and the {@code mdat} header
 * into a second temporary file, appends the samples, and moves it into place.
 */
final class ProgressiveMp4Layout implements Mp4Writer.Layout {
  private final Path target;
  private final Path media;
  private final OutputStream mediaOut;
  private final Mp4WriterSamples samples = new Mp4WriterSamples();
  private Path assembled;
  private long written;

  ProgressiveMp4Layout(Path file) throws IOException {
    this.target = file.toAbsolutePath();
    Path dir = target.getParent();
    String name = target.getFileName().toString();
    this.media = Files.createTempFile(dir, "." + name + "-", ".mdat");
    try {
      this.mediaOut = new BufferedOutputStream(Files.newOutputStream(media), 1 << 16);
    } catch (IOException failure) {
      Files.deleteIfExists(media);
      throw failure;
    }
  }

  @Override
  public void start(Mp4WriterFormat format) {}

  @Override
  public void add(byte[] data, int size, long duration, boolean sync) throws IOException {
    mediaOut.write(data, 0, size);
    samples.add(size, duration, sync, written);
    written += size;
  }

  @Override
  public void groupEnds() {}

  @Override
  public void finish(Mp4WriterFormat format) throws IOException {
    mediaOut.close();
    if (format == null) {
      Files.deleteIfExists(media);
      throw new IOException("no picture was written; " + target + " was not created");
    }
    byte[] header = header(format, samples, written);
    assembled = Files.createTempFile(target.getParent(), "." + target.getFileName() + "-", ".part");
    try (FileChannel out = FileChannel.open(assembled, StandardOpenOption.WRITE);
        FileChannel in = FileChannel.open(media, StandardOpenOption.READ)) {
      out.write(java.nio.ByteBuffer.wrap(header));
      long position = 0;
      long size = in.size();
      while (position < size) {
        position += in.transferTo(position, size - position, out);
      }
    }
    try {
      Files.move(assembled, target, StandardCopyOption.REPLACE_EXISTING,
          StandardCopyOption.ATOMIC_MOVE);
    } catch (AtomicMoveNotSupportedException notAtomic) {
      Files.move(assembled, target, StandardCopyOption.REPLACE_EXISTING);
    }
    assembled = null;
    Files.deleteIfExists(media);
  }

  /**
   * {@code ftyp}, {@code moov} and the {@code mdat} header for samples whose offsets are relative
   * to the start of the media data. The chunk offsets depend on the size of {@code moov}, which
   * grows when they need 64 bits: built again until its size holds still.
   */
  static byte[] header(Mp4WriterFormat format, Mp4WriterSamples samples, long mediaBytes) {
    Mp4BoxBuilder box = new Mp4BoxBuilder();
    Mp4WriterBoxes.ftyp(box, false);
    int ftypSize = box.size();
    Mp4BoxBuilder mdatHeader = new Mp4BoxBuilder();
    Mp4WriterBoxes.mdatHeader(mdatHeader, mediaBytes);
    long moovSize = 0;
    while (true) {
      box.clear();
      Mp4WriterBoxes.ftyp(box, false);
      long base = ftypSize + moovSize + mdatHeader.size();
      Mp4WriterBoxes.moov(box, format, samples, base, false);
      long built = box.size() - ftypSize;
      if (built == moovSize) {
        break;
      }
      moovSize = built;
    }
    box.bytes(mdatHeader.array(), 0, mdatHeader.size());
    return box.toByteArray();
  }

  @Override
  public void abandon() {
    try {
      mediaOut.close();
    } catch (IOException ignored) {
      // Already failing: the temporary files go either way.
    }
    deleteQuietly(media);
    if (assembled != null) {
      deleteQuietly(assembled);
    }
  }

  private static void deleteQuietly(Path path) {
    try {
      Files.deleteIfExists(path);
    } catch (IOException ignored) {
      // Left behind in the target's folder, named after it and hidden.
    }
  }
}
