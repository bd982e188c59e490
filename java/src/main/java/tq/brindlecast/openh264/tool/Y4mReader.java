package tq.brindlecast.openh264.tool;

import java.io.BufferedInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.Set;
import tq.brindlecast.openh264.I420Picture;

/**
 * Reads a YUV4MPEG2 (Y4M) file with 8-bit 4:2:0 pictures: a header line with the size, the frame
 * rate and the colour space, then per picture a {@code FRAME} line and the packed I420 planes.
 */
final class Y4mReader implements PictureSource {
  static final String MAGIC = "YUV4MPEG2";

  /** The 8-bit 4:2:0 colour spaces; they differ only in chroma siting. */
  private static final Set<String> COLOUR_SPACES = Set.of("420", "420jpeg", "420paldv", "420mpeg2");

  private static final int MAX_LINE = 4096;

  private final InputStream in;
  private final String name;
  private final PictureFormat format;
  private final int frameSize;
  private final java.util.List<String> warnings = new java.util.ArrayList<>();
  private int index;

  /**
   * Reads the header.
   *
   * @throws IOException if the stream is not a Y4M file this reader can read
   */
  Y4mReader(InputStream in, String name) throws IOException {
    this.in = in.markSupported() ? in : new BufferedInputStream(in, 1 << 16);
    this.name = name;
    String header = readLine("the header");
    String[] fields = header.split(" ");
    if (!fields[0].equals(MAGIC)) {
      throw new IOException(name + " is not a Y4M file: it does not start with " + MAGIC);
    }
    int w = -1;
    int h = -1;
    double rate = 30;
    boolean fullRange = false;
    for (int i = 1; i < fields.length; i++) {
      String field = fields[i];
      if (field.isEmpty()) {
        continue;
      }
      String value = field.substring(1);
      switch (field.charAt(0)) {
        case 'W' -> w = parseSize(value, "width");
        case 'H' -> h = parseSize(value, "height");
        case 'F' -> rate = parseRate(value);
        case 'C' -> {
          if (!COLOUR_SPACES.contains(value)) {
            throw new IOException(
                name + " has colour space C" + value + "; only 8-bit 4:2:0 (C420, C420jpeg,"
                    + " C420paldv, C420mpeg2) can be encoded");
          }
        }
        case 'I' -> {
          if (!value.equals("p") && !value.equals("?")) {
            warnings.add(name + " says its pictures are "
                + (value.equals("m") ? "of mixed interlacing" : "interlaced") + " (I" + value
                + "); they are coded as progressive frames");
          }
        }
        case 'X' -> fullRange |= value.equalsIgnoreCase("COLORRANGE=FULL");
        default -> {
          // The aspect ratio does not change the layout.
        }
      }
    }
    if (w < 1 || h < 1) {
      throw new IOException(name + " has no picture size in its Y4M header");
    }
    this.format = new PictureFormat(w, h, rate, -1, fullRange);
    this.frameSize = I420Picture.packedSize(w, h);
  }

  /** Tells whether a stream starts with the Y4M signature, leaving its position where it was. */
  static boolean isY4m(InputStream in) throws IOException {
    in.mark(MAGIC.length());
    byte[] start = in.readNBytes(MAGIC.length());
    in.reset();
    return new String(start, StandardCharsets.US_ASCII).equals(MAGIC);
  }

  @Override
  public java.util.List<String> warnings() {
    return warnings;
  }

  @Override
  public PictureFormat format() {
    return format;
  }

  @Override
  public String description() {
    return name;
  }

  @Override
  public I420Picture next() throws IOException {
    in.mark(1);
    if (in.read() < 0) {
      return null;
    }
    in.reset();
    String line = readLine("the header of picture " + (index + 1));
    if (!line.equals("FRAME") && !line.startsWith("FRAME ")) {
      throw new IOException(
          name + ": picture " + (index + 1) + " does not start with FRAME but with '"
              + (line.length() > 20 ? line.substring(0, 20) + "..." : line) + "'");
    }
    byte[] data = in.readNBytes(frameSize);
    if (data.length < frameSize) {
      throw new IOException(
          name + " ends inside picture " + (index + 1) + ": " + data.length + " of " + frameSize
              + " bytes");
    }
    index++;
    return I420Picture.fromPacked(data, format.width(), format.height());
  }

  @Override
  public void close() throws IOException {
    in.close();
  }

  private String readLine(String what) throws IOException {
    ByteArrayOutputStream line = new ByteArrayOutputStream();
    while (true) {
      int b = in.read();
      if (b < 0) {
        throw new IOException(name + " ends inside " + what);
      }
      if (b == '\n') {
        return line.toString(StandardCharsets.US_ASCII);
      }
      if (line.size() >= MAX_LINE) {
        throw new IOException(name + ": " + what + " is longer than " + MAX_LINE + " bytes");
      }
      line.write(b);
    }
  }

  private int parseSize(String value, String what) throws IOException {
    try {
      int size = Integer.parseInt(value);
      if (size >= 1 && size <= 16384) {
        return size;
      }
    } catch (NumberFormatException notANumber) {
      // reported below
    }
    throw new IOException(name + " has an invalid " + what + " '" + value + "' in its Y4M header");
  }

  private double parseRate(String value) throws IOException {
    String[] parts = value.split(":");
    try {
      if (parts.length == 2) {
        double rate = Double.parseDouble(parts[0]) / Double.parseDouble(parts[1]);
        if (rate > 0 && rate <= 1000) {
          return rate;
        }
      }
    } catch (NumberFormatException notANumber) {
      // reported below
    }
    throw new IOException(name + " has an invalid frame rate 'F" + value + "' in its Y4M header");
  }
}
