package tq.brindlecast.openh264.mp4;

import java.io.IOException;
import java.nio.charset.StandardCharsets;

/**
 * The header of an ISO BMFF box: its type, where it starts, how long the header is and where the
 * box ends. Every size is checked against the bytes its parent actually holds, so a box never
 * reaches past its parent or the end of the file.
 */
record BoxHeader(int type, long start, int headerLength, long end) {
  /** The largest header: 32-bit size, type, 64-bit size, and a 16-byte user type. */
  static final int MAX_HEADER = 32;

  long payloadStart() {
    return start + headerLength;
  }

  long payloadLength() {
    return end - payloadStart();
  }

  String name() {
    return fourcc(type);
  }

  /**
   * Parses the header of the box at {@code start}, whose parent ends at {@code parentEnd}.
   *
   * @param bytes at least the first {@code min(MAX_HEADER, parentEnd - start)} bytes of the box
   * @param offset where they start in {@code bytes}
   * @param available how many of them there are
   * @param zeroSizeEnd where a box with a size field of 0 ("up to the end of the file") ends, or
   *     -1 where that size is not allowed
   */
  static BoxHeader parse(
      byte[] bytes, int offset, int available, long start, long parentEnd, long zeroSizeEnd)
      throws Mp4FormatException {
    long room = parentEnd - start;
    if (available < 8 || room < 8) {
      throw new Mp4FormatException(
          "a box header at offset " + start + " is cut short: " + Math.min(available, room)
              + " bytes remain");
    }
    long size = u32(bytes, offset);
    int type = (int) u32(bytes, offset + 4);
    int headerLength = 8;
    if (size == 1) {
      if (available < 16 || room < 16) {
        throw new Mp4FormatException(
            "the 64-bit size of the " + fourcc(type) + " box at offset " + start + " is cut short");
      }
      size = u32(bytes, offset + 8) << 32 | u32(bytes, offset + 12);
      headerLength = 16;
    } else if (size == 0) {
      if (zeroSizeEnd < 0) {
        throw new Mp4FormatException(
            "the " + fourcc(type) + " box at offset " + start + " has size 0, which only a"
                + " box at the top level may have");
      }
      size = zeroSizeEnd - start;
    }
    if (type == fourcc("uuid")) {
      headerLength += 16;
    }
    if (size < 0 || size > room) {
      long left = zeroSizeEnd >= 0 ? zeroSizeEnd - start : room;
      throw new Mp4FormatException(
          "the " + fourcc(type) + " box at offset " + start + " claims "
              + Long.toUnsignedString(size) + " bytes, but only " + left + " remain"
              + (zeroSizeEnd >= 0 ? " in the file" : " in its parent"));
    }
    if (size < headerLength) {
      throw new Mp4FormatException(
          "the " + fourcc(type) + " box at offset " + start + " claims " + size
              + " bytes, less than its " + headerLength + "-byte header");
    }
    return new BoxHeader(type, start, headerLength, start + size);
  }

  /**
   * Reads and parses the header of a top-level box of a file. The box may claim more bytes than
   * the file has left: the caller decides what a cut box means.
   */
  static BoxHeader read(Mp4Input input, long start) throws IOException {
    int available = (int) Math.min(MAX_HEADER, input.size() - start);
    byte[] bytes = new byte[available];
    input.read(start, bytes, 0, available);
    if (available >= 8 && fourcc((int) u32(bytes, 4)).startsWith("0x")) {
      throw new Mp4FormatException(
          "not an MP4 file: the bytes at offset " + start + " are not a box header");
    }
    return parse(bytes, 0, available, start, Long.MAX_VALUE, input.size());
  }

  static long u32(byte[] bytes, int offset) {
    return ((bytes[offset] & 0xFFL) << 24)
        | ((bytes[offset + 1] & 0xFF) << 16)
        | ((bytes[offset + 2] & 0xFF) << 8)
        | (bytes[offset + 3] & 0xFF);
  }

  static int fourcc(String name) {
    byte[] chars = name.getBytes(StandardCharsets.ISO_8859_1);
    return (chars[0] & 0xFF) << 24 | (chars[1] & 0xFF) << 16 | (chars[2] & 0xFF) << 8
        | (chars[3] & 0xFF);
  }

  /** The four characters of a box type, or its hexadecimal value when they are not printable. */
  static String fourcc(int type) {
    StringBuilder name = new StringBuilder(4);
    for (int shift = 24; shift >= 0; shift -= 8) {
      int c = (type >>> shift) & 0xFF;
      if (c < 0x20 || c > 0x7E) {
        return String.format("0x%08x", type);
      }
      name.append((char) c);
    }
    return name.toString();
  }
}
