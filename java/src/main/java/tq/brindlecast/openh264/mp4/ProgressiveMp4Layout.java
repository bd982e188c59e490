package tq.brindlecast.openh264.mp4;

import java.io.BufferedOutputStream;
import java.io.EOFException;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.file.Path;
import tq.brindlecast.openh264.io.AtomicFile;

/**
 * A progressive MP4 file with {@code moov} first, in one temporary file beside the target: the
 * samples are written from its start while they come; finishing moves them up by the size of
 * {@code ftyp}, {@code moov} and the {@code mdat} header, writes those in front, and moves the
 * file into place.
 */
final class ProgressiveMp4Layout implements Mp4Writer.Layout {
  private static final int SHIFT_BLOCK = 1 << 20;

  private final AtomicFile file;
  private final OutputStream mediaOut;
  private final Mp4WriterSamples samples = new Mp4WriterSamples();
  private long written;

  ProgressiveMp4Layout(Path target) throws IOException {
    this.file = AtomicFile.create(target);
    // Flushed, never closed: the channel stays open for the header.
    this.mediaOut =
        new BufferedOutputStream(
            new FilterOutputStream(file.stream()) {
              @Override
              public void write(byte[] b, int off, int len) throws IOException {
                out.write(b, off, len);
              }

              @Override
              public void close() {}
            },
            1 << 16);
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
    if (format == null) {
      file.abort();
      throw new IOException("no picture was written; " + file.name() + " was not created");
    }
    mediaOut.flush();
    byte[] header = header(format, samples, written);
    FileChannel channel = file.channel();
    moveUp(channel, written, header.length);
    ByteBuffer head = ByteBuffer.wrap(header);
    while (head.hasRemaining()) {
      channel.write(head, head.position());
    }
    file.commit();
  }

  /** Moves the first {@code size} bytes of the file up by {@code distance}, last block first. */
  private static void moveUp(FileChannel channel, long size, int distance) throws IOException {
    ByteBuffer block = ByteBuffer.allocate((int) Math.min(SHIFT_BLOCK, Math.max(size, 1)));
    long end = size;
    while (end > 0) {
      int length = (int) Math.min(block.capacity(), end);
      long from = end - length;
      block.clear().limit(length);
      while (block.hasRemaining()) {
        if (channel.read(block, from + block.position()) < 0) {
          throw new EOFException("the media data ended early in the temporary file");
        }
      }
      block.flip();
      while (block.hasRemaining()) {
        channel.write(block, from + distance + block.position());
      }
      end = from;
    }
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
    file.abort();
  }
}
