package tq.brindlecast.openh264.mp4;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The chunk offset and media data boxes past 4 GiB, built without writing 4 GiB. */
class Mp4WriterBoxesTest {
  private static final long U32 = 0xFFFFFFFFL;

  private static Mp4WriterSamples samplesAt(long... offsets) {
    Mp4WriterSamples samples = new Mp4WriterSamples();
    for (long offset : offsets) {
      samples.add(1000, 3000, false, offset);
    }
    return samples;
  }

  /** The type of the box at {@code at} and its chunk offsets, read back. */
  private static long[] readChunkOffsets(ByteBuffer box, int at, StringBuilder type) {
    type.append(new String(box.array(), at + 4, 4, StandardCharsets.ISO_8859_1));
    boolean wide = type.toString().equals("co64");
    int count = box.getInt(at + 12);
    long[] offsets = new long[count];
    for (int i = 0; i < count; i++) {
      offsets[i] = wide ? box.getLong(at + 16 + 8 * i) : box.getInt(at + 16 + 4 * i) & U32;
    }
    assertEquals(16 + count * (wide ? 8 : 4), box.getInt(at), "box size");
    return offsets;
  }

  @Test
  void chunkOffsetsSwitchToCo64OnlyWhenAnOffsetPasses32Bits() {
    record Row(String name, long base, long[] offsets, String type) {}
    List<Row> rows =
        List.of(
            new Row("small file", 48, new long[] {0, 1000, 2000}, "stco"),
            new Row("last byte offset still 32-bit", 48, new long[] {0, U32 - 48}, "stco"),
            new Row("one past 32 bits", 48, new long[] {0, U32 - 47}, "co64"),
            new Row("the base alone passes", U32, new long[] {0, 1}, "co64"),
            new Row("far past 4 GiB", 100, new long[] {0, 5L << 32, 9L << 32}, "co64"));
    for (Row row : rows) {
      Mp4BoxBuilder box = new Mp4BoxBuilder();
      Mp4WriterBoxes.chunkOffsets(box, samplesAt(row.offsets()), row.base());
      StringBuilder type = new StringBuilder();
      long[] read = readChunkOffsets(ByteBuffer.wrap(box.toByteArray()), 0, type);
      assertEquals(row.type(), type.toString(), row.name());
      for (int i = 0; i < read.length; i++) {
        assertEquals(row.base() + row.offsets()[i], read[i], row.name() + ": offset " + i);
      }
    }
  }

  @Test
  void moovFirstHeaderOfA7GiBFileUsesCo64AndA64BitMdatSize() {
    // Four samples of 1.75 GiB: the last starts past 4 GiB.
    long sampleSize = 7L << 28;
    Mp4WriterSamples samples = new Mp4WriterSamples();
    for (int i = 0; i < 4; i++) {
      samples.add((int) sampleSize, 1000, i == 0, i * sampleSize);
    }
    byte[] sps = {0x67, 0x42, (byte) 0xC0, 0x1F, 0x01};
    byte[] pps = {0x68, (byte) 0xCE, 0x3C, (byte) 0x80};
    Mp4WriterFormat format = new Mp4WriterFormat(1920, 1080, 30000, List.of(sps), List.of(pps),
        Orientation.NORMAL);
    byte[] header = ProgressiveMp4Layout.header(format, samples, 4 * sampleSize);
    ByteBuffer buffer = ByteBuffer.wrap(header);

    String text = new String(header, StandardCharsets.ISO_8859_1);
    assertEquals(-1, text.indexOf("stco"));
    StringBuilder type = new StringBuilder();
    long[] offsets = readChunkOffsets(buffer, text.indexOf("co64") - 4, type);
    // The mdat header closes the array: size 1, "mdat", then the 64-bit size.
    int mdat = header.length - 16;
    assertEquals(1, buffer.getInt(mdat));
    assertEquals("mdat", new String(header, mdat + 4, 4, StandardCharsets.ISO_8859_1));
    assertEquals(16 + 4 * sampleSize, buffer.getLong(mdat + 8));
    for (int i = 0; i < 4; i++) {
      assertEquals(header.length + i * sampleSize, offsets[i], "sample " + i);
    }
    // ftyp, then moov ending where the mdat header starts.
    int ftyp = buffer.getInt(0);
    assertEquals("moov", new String(header, ftyp + 4, 4, StandardCharsets.ISO_8859_1));
    assertEquals(mdat, ftyp + buffer.getInt(ftyp));
  }
}
