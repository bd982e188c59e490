package tq.brindlecast.openh264.mp4;

import java.io.ByteArrayOutputStream;
import java.util.ArrayList;
import java.util.List;

/**
 * An {@code avc1} or {@code avc3} sample entry: the picture size it declares and its {@code avcC}
 * record, with the parameter sets already in Annex B form for putting in front of a sample, and
 * the matrix and range of its {@code colr} box ({@code nclx}, or QuickTime's {@code nclc} which
 * has no range and means limited), if any.
 */
record AvcSampleEntry(
    String codec,
    int width,
    int height,
    int profileIdc,
    int profileCompatibility,
    int levelIdc,
    int nalLengthSize,
    List<byte[]> sequenceParameterSets,
    List<byte[]> pictureParameterSets,
    byte[] annexBParameterSets,
    int colourMatrix,
    boolean colourFullRange) {
  /** {@link #colourMatrix()} of an entry without a {@code colr} box with a matrix. */
  static final int NO_COLOUR = -1;

  /** The bytes of a visual sample entry before its boxes. */
  private static final int VISUAL_ENTRY_FIELDS = 78;

  static final byte[] START_CODE = {0, 0, 0, 1};

  static AvcSampleEntry parse(ParsedBox entry) throws Mp4FormatException {
    ParsedBox.Cursor fields = entry.cursor(24);
    int width = fields.u16();
    int height = fields.u16();
    ParsedBox avcC = null;
    ParsedBox colr = null;
    for (ParsedBox box : entry.boxesAfter(VISUAL_ENTRY_FIELDS)) {
      if (box.type == BoxHeader.fourcc("avcC") && avcC == null) {
        avcC = box;
      } else if (box.type == BoxHeader.fourcc("colr") && colr == null) {
        colr = box;
      }
    }
    if (avcC == null) {
      throw new Mp4FormatException(
          "the " + entry.name() + " sample entry at offset " + entry.start + " has no avcC box");
    }
    ParsedBox.Cursor record = avcC.cursor();
    int version = record.u8();
    if (version != 1) {
      throw new Mp4FormatException(
          "the avcC box at offset " + avcC.start + " has version " + version + ", not 1");
    }
    int profile = record.u8();
    int compatibility = record.u8();
    int level = record.u8();
    int lengthSize = (record.u8() & 3) + 1;
    if (lengthSize == 3) {
      throw new Mp4FormatException(
          "the avcC box at offset " + avcC.start + " gives NAL unit lengths of 3 bytes (1, 2 or"
              + " 4 are allowed)");
    }
    List<byte[]> sps = parameterSets(record, record.u8() & 0x1F);
    List<byte[]> pps = parameterSets(record, record.u8());
    ByteArrayOutputStream annexB = new ByteArrayOutputStream();
    for (List<byte[]> sets : List.of(sps, pps)) {
      for (byte[] set : sets) {
        annexB.writeBytes(START_CODE);
        annexB.writeBytes(set);
      }
    }
    int[] colour = colour(colr);
    return new AvcSampleEntry(entry.name(), width, height, profile, compatibility, level,
        lengthSize, List.copyOf(sps), List.copyOf(pps), annexB.toByteArray(), colour[0],
        colour[1] != 0);
  }

  /** The matrix and range flag of a {@code colr} box: {NO_COLOUR, 0} when it gives none. */
  private static int[] colour(ParsedBox colr) throws Mp4FormatException {
    ParsedBox.Cursor fields = colr == null ? null : colr.cursor();
    if (fields == null || fields.remaining() < 10) {
      return new int[] {NO_COLOUR, 0};
    }
    int kind = fields.s32();
    if (kind != BoxHeader.fourcc("nclx") && kind != BoxHeader.fourcc("nclc")) {
      return new int[] {NO_COLOUR, 0}; // an ICC profile: no matrix to read
    }
    fields.skip(4); // colour primaries and transfer characteristics
    int matrix = fields.u16();
    boolean nclx = kind == BoxHeader.fourcc("nclx") && fields.remaining() >= 1;
    return new int[] {matrix, nclx ? fields.u8() >> 7 : 0};
  }

  private static List<byte[]> parameterSets(ParsedBox.Cursor record, int count)
      throws Mp4FormatException {
    List<byte[]> sets = new ArrayList<>();
    for (int i = 0; i < count; i++) {
      int length = record.u16();
      if (length > 0) {
        sets.add(record.bytes(length));
      }
    }
    return sets;
  }
}
