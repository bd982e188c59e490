package tq.brindlecast.openh264.bitstream;

import java.io.ByteArrayOutputStream;
import java.io.Closeable;
import java.io.IOException;
import java.io.InputStream;
import java.nio.channels.Channels;
import java.nio.channels.ReadableByteChannel;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Reads an H.264 Annex B byte stream and cuts it into access units, the NAL units of one picture
 * each, so that a decoder handed one unit at a time returns each picture as soon as it is
 * complete.
 *
 * <p>A new access unit begins, once the current one holds a slice, at an access unit delimiter,
 * SEI, sequence or picture parameter set (and the reserved types 15 to 18), or at a base-layer
 * slice whose {@code first_mb_in_slice} is 0 (together with the prefix NAL units right before it).
 * End-of-sequence and end-of-stream units close the unit they end. Enhancement-layer slices (type
 * 20) belong to the access unit of their base layer. Bytes before the first start code are
 * skipped.
 *
 * <pre>{@code
 * try (AccessUnitReader reader = AccessUnitReader.open(Path.of("clip.h264"));
 *     H264Decoder decoder = new H264Decoder()) {
 *   for (byte[] unit; (unit = reader.nextAccessUnit()) != null; ) {
 *     DecodedPicture picture = decoder.decode(unit);
 *     ...
 *   }
 * }
 * }</pre>
 *
 * <p>The stream is read in blocks as the units are asked for, so a stream of any length, or a
 * pipe, takes only the memory of its largest unit. A reader is for one thread.
 */
public final class AccessUnitReader implements Closeable {
  private static final byte[] START_CODE = {0, 0, 0, 1};
  private static final int READ_SIZE = 1 << 16;
  /**
   * The longest NAL unit or access unit read: far above any real picture (a level 6.2 picture of
   * 8192x4320 at the highest bit rate is a few megabytes), and far below what would exhaust a
   * small heap.
   */
  public static final int MAX_UNIT_BYTES = 64 << 20;

  private final InputStream in;
  private byte[] buffer = new byte[2 * READ_SIZE];
  private int start;
  private int end;
  private boolean endOfInput;
  private long bytesRead;
  private final List<byte[]> carried = new ArrayList<>();

  /**
   * Reads from a stream; {@link #close()} closes it.
   *
   * @param in the Annex B byte stream
   * @throws NullPointerException if {@code in} is null
   */
  public AccessUnitReader(InputStream in) {
    this.in = java.util.Objects.requireNonNull(in, "in must not be null");
  }

  /**
   * Reads from a channel; {@link #close()} closes it.
   *
   * @param channel the Annex B byte stream
   * @throws NullPointerException if {@code channel} is null
   */
  public AccessUnitReader(ReadableByteChannel channel) {
    this(Channels.newInputStream(
        java.util.Objects.requireNonNull(channel, "channel must not be null")));
  }

  /**
   * Opens a file.
   *
   * @param file an Annex B file ({@code .h264}, {@code .264})
   * @return a reader of the file's access units
   * @throws IOException if the file cannot be opened
   */
  public static AccessUnitReader open(Path file) throws IOException {
    return new AccessUnitReader(Files.newInputStream(file));
  }

  /**
   * Splits a whole stream held in memory into its access units.
   *
   * @param stream the Annex B byte stream
   * @return the access units in stream order, each as {@link #nextAccessUnit()} returns it
   * @throws NullPointerException if {@code stream} is null
   */
  public static List<byte[]> split(byte[] stream) {
    List<byte[]> units = new ArrayList<>();
    try (AccessUnitReader reader =
        new AccessUnitReader(new java.io.ByteArrayInputStream(
            java.util.Objects.requireNonNull(stream, "stream must not be null")))) {
      for (byte[] unit; (unit = reader.nextAccessUnit()) != null; ) {
        units.add(unit);
      }
    } catch (IOException cannotHappen) {
      throw new java.io.UncheckedIOException(cannotHappen); // a byte array does not fail
    }
    return units;
  }

  /** {@return the number of bytes read from the stream so far} */
  public long bytesRead() {
    return bytesRead;
  }

  /**
   * {@return the next access unit: its NAL units, each behind a four-byte start code; null at the
   * end of the stream}
   *
   * @throws IOException if reading fails
   */
  public byte[] nextAccessUnit() throws IOException {
    List<byte[]> unit = new ArrayList<>(carried);
    carried.clear();
    boolean hasSlice = unit.stream().anyMatch(AccessUnitReader::isBaseSlice);
    int prefixRun = -1;
    byte[] nal;
    long bytes = unit.stream().mapToLong(n -> n.length).sum();
    while ((nal = nextNalUnit()) != null) {
      int type = NalUnit.typeOf(nal[0]);
      bytes += nal.length;
      if (bytes > MAX_UNIT_BYTES) {
        throw new IOException("the access unit ending at byte " + bytesRead + " is longer than "
            + (MAX_UNIT_BYTES >> 20) + " MiB, more than any picture: the stream is damaged or"
            + " not H.264");
      }
      if (hasSlice && beginsAccessUnit(type, nal)) {
        int cut = prefixRun >= 0 && isBaseSliceType(type) ? prefixRun : unit.size();
        carried.addAll(unit.subList(cut, unit.size()));
        unit.subList(cut, unit.size()).clear();
        carried.add(nal);
        break;
      }
      unit.add(nal);
      hasSlice |= isBaseSliceType(type);
      if (type == NalUnit.TYPE_PREFIX) {
        prefixRun = prefixRun >= 0 ? prefixRun : unit.size() - 1;
      } else {
        prefixRun = -1;
      }
      if (type == NalUnit.TYPE_END_OF_SEQUENCE || type == NalUnit.TYPE_END_OF_STREAM) {
        break;
      }
    }
    return unit.isEmpty() ? null : join(unit);
  }

  /**
   * {@return the next NAL unit from its header byte to its last non-zero byte, or null at the end
   * of the stream} Bytes before the first start code are skipped. Do not mix it with {@link
   * #nextAccessUnit()} on one reader.
   *
   * @throws IOException if reading fails
   */
  public byte[] nextNalUnit() throws IOException {
    while (skipToUnit()) {
      int searched = 0; // bytes after start already searched for the next start code
      int next;
      while ((next = AnnexB.findStartCode(buffer, start + searched, end)) < 0 && !endOfInput) {
        searched = Math.max(0, end - start - 2);
        if (end - start > MAX_UNIT_BYTES) {
          throw new IOException("the NAL unit at byte " + (bytesRead - (end - start))
              + " is longer than " + (MAX_UNIT_BYTES >> 20) + " MiB, more than any picture: the"
              + " stream is damaged or not H.264");
        }
        fill();
      }
      int unitEnd = next >= 0 ? next : end;
      int last = unitEnd;
      while (last > start && buffer[last - 1] == 0) {
        last--;
      }
      byte[] nal = Arrays.copyOfRange(buffer, start, last);
      start = unitEnd;
      if (nal.length > 0) {
        return nal;
      }
      // An empty unit between two start codes: look for the next one.
    }
    return null;
  }

  /** Moves past the next start code; false when the stream has none left. */
  private boolean skipToUnit() throws IOException {
    while (true) {
      int code = AnnexB.findStartCode(buffer, start, end);
      if (code >= 0) {
        start = code + 3;
        return true;
      }
      if (endOfInput) {
        start = end;
        return false;
      }
      start = Math.max(start, end - 2); // a start code may straddle the next read
      fill();
    }
  }

  @Override
  public void close() throws IOException {
    in.close();
  }

  private static boolean beginsAccessUnit(int type, byte[] nal) {
    if (type == NalUnit.TYPE_SEI || type == NalUnit.TYPE_SPS || type == NalUnit.TYPE_PPS
        || type == NalUnit.TYPE_AUD
        || (type >= NalUnit.TYPE_SUBSET_SPS && type <= 18)) { // 16 to 18 are reserved
      return true;
    }
    // first_mb_in_slice is the first Exp-Golomb number after the header: 0 is the single bit 1.
    return isBaseSliceType(type) && nal.length > 1 && (nal[1] & 0x80) != 0;
  }

  private static boolean isBaseSliceType(int type) {
    return type == NalUnit.TYPE_SLICE || type == NalUnit.TYPE_IDR;
  }

  private static boolean isBaseSlice(byte[] nal) {
    return isBaseSliceType(NalUnit.typeOf(nal[0]));
  }

  /**
   * Keeps the bytes from {@code start} on, then reads more behind them. The kept bytes move only
   * when they do not already start the buffer, and the buffer doubles, so a long unit costs
   * linear time.
   */
  private void fill() throws IOException {
    int kept = end - start;
    if (start > 0) {
      System.arraycopy(buffer, start, buffer, 0, kept);
      start = 0;
      end = kept;
    }
    if (end + READ_SIZE > buffer.length) {
      buffer = Arrays.copyOf(buffer, Math.max(buffer.length * 2, end + READ_SIZE));
    }
    int read = in.readNBytes(buffer, end, READ_SIZE);
    if (read < READ_SIZE) {
      endOfInput = true;
    }
    end += read;
    bytesRead += read;
  }

  private static byte[] join(List<byte[]> units) {
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    for (byte[] unit : units) {
      out.write(START_CODE, 0, START_CODE.length);
      out.write(unit, 0, unit.length);
    }
    return out.toByteArray();
  }
}
