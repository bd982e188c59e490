package tq.brindlecast.openh264.mp4;

import java.util.ArrayList;
import java.util.List;
import java.util.Set;

/**
 * A box read into memory with the boxes nested in it: the container boxes this reader walks
 * through are split into their children, every other box keeps its payload for a {@link Cursor}.
 */
final class ParsedBox {
  private static final Set<Integer> CONTAINERS =
      Set.of(
          BoxHeader.fourcc("moov"), BoxHeader.fourcc("trak"), BoxHeader.fourcc("mdia"),
          BoxHeader.fourcc("minf"), BoxHeader.fourcc("stbl"), BoxHeader.fourcc("edts"),
          BoxHeader.fourcc("mvex"), BoxHeader.fourcc("moof"), BoxHeader.fourcc("traf"),
          BoxHeader.fourcc("sinf"), BoxHeader.fourcc("schi"));
  /** Real files nest five deep at most; a limit keeps a crafted file from exhausting the stack. */
  private static final int MAX_DEPTH = 16;

  final int type;
  /** Where the box starts in the file. */
  final long start;
  private final byte[] data;
  /** The file offset of {@code data[0]}. */
  private final long base;
  private final int payload;
  private final int end;
  private final List<ParsedBox> children;

  private ParsedBox(int type, long start, byte[] data, long base, int payload, int end,
      int depth) throws Mp4FormatException {
    this.type = type;
    this.start = start;
    this.data = data;
    this.base = base;
    this.payload = payload;
    this.end = end;
    if (depth > MAX_DEPTH) {
      throw new Mp4FormatException(
          "boxes are nested more than " + MAX_DEPTH + " deep at offset " + start);
    }
    this.children = CONTAINERS.contains(type) ? boxesAfter(0, depth) : List.of();
  }

  /** The box whose header is {@code header}, its whole payload in {@code payloadBytes}. */
  static ParsedBox of(BoxHeader header, byte[] payloadBytes) throws Mp4FormatException {
    return new ParsedBox(header.type(), header.start(), payloadBytes, header.payloadStart(), 0,
        payloadBytes.length, 0);
  }

  String name() {
    return BoxHeader.fourcc(type);
  }

  /** The first child of that type, or null. */
  ParsedBox child(String childType) {
    int wanted = BoxHeader.fourcc(childType);
    for (ParsedBox child : children) {
      if (child.type == wanted) {
        return child;
      }
    }
    return null;
  }

  /** The first child of that type; its absence is an error. */
  ParsedBox require(String childType) throws Mp4FormatException {
    ParsedBox child = child(childType);
    if (child == null) {
      throw new Mp4FormatException(
          "the " + name() + " box at offset " + start + " has no " + childType + " box");
    }
    return child;
  }

  /** Every child of that type, in order. */
  List<ParsedBox> all(String childType) {
    int wanted = BoxHeader.fourcc(childType);
    List<ParsedBox> found = new ArrayList<>();
    for (ParsedBox child : children) {
      if (child.type == wanted) {
        found.add(child);
      }
    }
    return found;
  }

  /**
   * The boxes that follow the first {@code skip} bytes of the payload, as in a sample description
   * or a sample entry.
   */
  List<ParsedBox> boxesAfter(int skip) throws Mp4FormatException {
    return boxesAfter(skip, 0);
  }

  private List<ParsedBox> boxesAfter(int skip, int depth) throws Mp4FormatException {
    if (skip > end - payload) {
      throw cutShort();
    }
    List<ParsedBox> boxes = new ArrayList<>();
    int position = payload + skip;
    while (position < end) {
      if (isTerminator(position)) {
        break;
      }
      BoxHeader header =
          BoxHeader.parse(data, position, end - position, base + position, base + end, -1);
      int childEnd = (int) (header.end() - base);
      boxes.add(new ParsedBox(header.type(), header.start(), data, base,
          position + header.headerLength(), childEnd, depth + 1));
      position = childEnd;
    }
    return boxes;
  }

  /**
   * Whether the bytes from {@code position} to the end are QuickTime's terminator: fewer than a
   * box header's 8, all zero, as {@code qtmux} and QuickTime itself end a sample entry's boxes.
   */
  private boolean isTerminator(int position) {
    if (end - position >= 8) {
      return false;
    }
    for (int i = position; i < end; i++) {
      if (data[i] != 0) {
        return false;
      }
    }
    return true;
  }

  /** Reads the payload from its start. */
  Cursor cursor() {
    return new Cursor(payload);
  }

  /** Reads the payload from {@code skip} bytes in. */
  Cursor cursor(int skip) throws Mp4FormatException {
    Cursor cursor = new Cursor(payload);
    cursor.skip(skip);
    return cursor;
  }

  private Mp4FormatException cutShort() {
    return new Mp4FormatException(
        "the " + name() + " box at offset " + start + " is too short for its contents ("
            + (end - payload) + " bytes of payload)");
  }

  /** Reads big-endian fields of the payload; reading past its end is an error. */
  final class Cursor {
    private int position;

    private Cursor(int position) {
      this.position = position;
    }

    int remaining() {
      return end - position;
    }

    /** Fails unless {@code count} entries of {@code entryBytes} each fit in what remains. */
    void requireEntries(long count, int entryBytes) throws Mp4FormatException {
      if (count < 0 || count * entryBytes > remaining()) {
        throw new Mp4FormatException(
            "the " + name() + " box at offset " + start + " lists " + count + " entries of "
                + entryBytes + " bytes, but holds " + remaining() + " bytes for them");
      }
    }

    void skip(int bytes) throws Mp4FormatException {
      need(bytes);
      position += bytes;
    }

    int u8() throws Mp4FormatException {
      need(1);
      return data[position++] & 0xFF;
    }

    int u16() throws Mp4FormatException {
      need(2);
      int value = (data[position] & 0xFF) << 8 | (data[position + 1] & 0xFF);
      position += 2;
      return value;
    }

    long u32() throws Mp4FormatException {
      need(4);
      long value = BoxHeader.u32(data, position);
      position += 4;
      return value;
    }

    int s32() throws Mp4FormatException {
      return (int) u32();
    }

    long s64() throws Mp4FormatException {
      return u32() << 32 | u32();
    }

    /** A 32- or 64-bit field as the box's version chooses; a 64-bit value above 2^63 is refused. */
    long sized(boolean wide) throws Mp4FormatException {
      if (!wide) {
        return u32();
      }
      long value = s64();
      if (value < 0) {
        throw new Mp4FormatException(
            "the " + name() + " box at offset " + start + " has a 64-bit field above 2^63");
      }
      return value;
    }

    byte[] bytes(int length) throws Mp4FormatException {
      need(length);
      byte[] copy = java.util.Arrays.copyOfRange(data, position, position + length);
      position += length;
      return copy;
    }

    private void need(int bytes) throws Mp4FormatException {
      if (bytes < 0 || bytes > end - position) {
        throw cutShort();
      }
    }
  }
}
