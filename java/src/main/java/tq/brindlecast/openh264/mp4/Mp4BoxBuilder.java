package tq.brindlecast.openh264.mp4;

import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * Builds ISO base media boxes into a growing byte array: a box is opened with its type, filled
 * with big-endian fields, and closed, which writes its size. The layouts of the boxes the writers
 * need live in {@link Mp4WriterBoxes}.
 */
final class Mp4BoxBuilder {
  private byte[] bytes = new byte[256];
  private int size;
  private int[] openBoxes = new int[16];
  private int depth;

  /** Opens a box of the given four-character type. */
  Mp4BoxBuilder start(String type) {
    if (depth == openBoxes.length) {
      openBoxes = Arrays.copyOf(openBoxes, depth * 2);
    }
    openBoxes[depth++] = size;
    u32(0);
    return type(type);
  }

  /** Opens a full box: a box with a version byte and 24 bits of flags. */
  Mp4BoxBuilder startFull(String type, int version, int flags) {
    start(type);
    return u32((version << 24) | (flags & 0xFFFFFF));
  }

  /** Closes the innermost open box and writes its size. */
  Mp4BoxBuilder end() {
    int start = openBoxes[--depth];
    putU32(start, size - start);
    return this;
  }

  Mp4BoxBuilder type(String type) {
    byte[] name = type.getBytes(StandardCharsets.ISO_8859_1);
    if (name.length != 4) {
      throw new IllegalArgumentException("a box type has four characters: " + type);
    }
    return bytes(name, 0, 4);
  }

  Mp4BoxBuilder u8(int value) {
    ensure(1);
    bytes[size++] = (byte) value;
    return this;
  }

  Mp4BoxBuilder u16(int value) {
    ensure(2);
    bytes[size++] = (byte) (value >> 8);
    bytes[size++] = (byte) value;
    return this;
  }

  Mp4BoxBuilder u32(long value) {
    ensure(4);
    putU32(size, value);
    size += 4;
    return this;
  }

  Mp4BoxBuilder u64(long value) {
    u32(value >>> 32);
    return u32(value);
  }

  Mp4BoxBuilder zeros(int count) {
    ensure(count);
    Arrays.fill(bytes, size, size + count, (byte) 0);
    size += count;
    return this;
  }

  Mp4BoxBuilder bytes(byte[] data, int offset, int length) {
    ensure(length);
    System.arraycopy(data, offset, bytes, size, length);
    size += length;
    return this;
  }

  /** Bytes written so far. */
  int size() {
    return size;
  }

  /** The array behind the builder: valid up to {@link #size()}. */
  byte[] array() {
    return bytes;
  }

  byte[] toByteArray() {
    if (depth != 0) {
      throw new IllegalStateException(depth + " boxes are still open");
    }
    return Arrays.copyOf(bytes, size);
  }

  /** Empties the builder, keeping its array. */
  void clear() {
    size = 0;
    depth = 0;
  }

  /** Overwrites four bytes written earlier, at a position taken from {@link #size()}. */
  Mp4BoxBuilder patchU32(int at, long value) {
    if (at < 0 || at + 4 > size) {
      throw new IndexOutOfBoundsException("patch at " + at + " outside " + size + " bytes");
    }
    putU32(at, value);
    return this;
  }

  private void putU32(int at, long value) {
    bytes[at] = (byte) (value >> 24);
    bytes[at + 1] = (byte) (value >> 16);
    bytes[at + 2] = (byte) (value >> 8);
    bytes[at + 3] = (byte) value;
  }

  private void ensure(int more) {
    if (size + more > bytes.length) {
      long wanted = Math.max((long) bytes.length * 2, (long) size + more);
      if (wanted > Integer.MAX_VALUE - 8) {
        throw new IllegalStateException("box data over 2 GiB");
      }
      bytes = Arrays.copyOf(bytes, (int) wanted);
    }
  }
}
