package tq.brindlecast.openh264.mp4;

import java.io.Closeable;
import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.channels.SeekableByteChannel;

/** The bytes of a file being read: a seekable channel or an array in memory. */
abstract class Mp4Input implements Closeable {
  /** The number of bytes there are. */
  abstract long size();

  /**
   * Reads exactly {@code length} bytes starting at {@code position}, which the caller has checked
   * lie inside {@link #size()}.
   */
  abstract void read(long position, byte[] into, int offset, int length) throws IOException;

  static Mp4Input of(byte[] data) {
    return new Mp4Input() {
      @Override
      long size() {
        return data.length;
      }

      @Override
      void read(long position, byte[] into, int offset, int length) {
        System.arraycopy(data, Math.toIntExact(position), into, offset, length);
      }

      @Override
      public void close() {}
    };
  }

  static Mp4Input of(SeekableByteChannel channel) throws IOException {
    long size = channel.size();
    return new Mp4Input() {
      @Override
      long size() {
        return size;
      }

      @Override
      void read(long position, byte[] into, int offset, int length) throws IOException {
        ByteBuffer buffer = ByteBuffer.wrap(into, offset, length);
        // A file channel reads at a position in one call; another channel seeks first.
        FileChannel file = channel instanceof FileChannel ? (FileChannel) channel : null;
        if (file == null) {
          channel.position(position);
        }
        while (buffer.hasRemaining()) {
          long at = position + buffer.position() - offset;
          if ((file == null ? channel.read(buffer) : file.read(buffer, at)) < 0) {
            throw new Mp4FormatException(
                "the file ended at " + at
                    + " while reading " + length + " bytes at " + position
                    + " (did it shrink while open?)");
          }
        }
      }

      @Override
      public void close() throws IOException {
        channel.close();
      }
    };
  }
}
