package tq.brindlecast.openh264.mp4;

import java.io.ByteArrayOutputStream;
import java.util.ArrayList;
import java.util.List;

/**
 * An {@code avc1} or {@code avc3} sample entry: the picture size it declares and its {@code avcC}
 * record, with the parameter sets already in Annex B form for putting in front of a sample.
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
    byte[] annexBParameterSets) {
  /** The bytes of a visual sample entry before its boxes. */
  private static final int VISUAL_ENTRY_FIELDS = 78;

  static final byte[] START_CODE = {0, 0, 0, 1};

  static AvcSampleEntry parse(ParsedBox entry) throws Mp4FormatException {
    ParsedBox.Cursor fields = entry.cursor(24);
    int width = fields.u16();
    int height = fields.u16();
    ParsedBox avcC = null;
    for (ParsedBox box : entry.boxesAfter(VISUAL_ENTRY_FIELDS)) {
      if (box.type == BoxHeader.fourcc("avcC")) {
        avcC = box;
        break;
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
    return new AvcSampleEntry(entry.name(), width, height, profile, compatibility, level,
        lengthSize, List.copyOf(sps), List.copyOf(pps), annexB.toByteArray());
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
