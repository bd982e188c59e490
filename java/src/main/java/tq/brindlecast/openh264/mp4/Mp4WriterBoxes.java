package tq.brindlecast.openh264.mp4;

import java.nio.charset.StandardCharsets;

/** The layouts of the boxes the MP4 writers produce: one video track, track ID 1. */
final class Mp4WriterBoxes {
  static final int TRACK_ID = 1;
  static final long MAX_U32 = 0xFFFFFFFFL;

  /** trun sample flags: a sync sample depends on no other. */
  static final int SYNC_SAMPLE_FLAGS = 0x02000000;

  /** trun sample flags: depends on others, not a sync sample. */
  static final int NON_SYNC_SAMPLE_FLAGS = 0x01010000;

  private static final int[] MATRIX = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};

  private Mp4WriterBoxes() {}

  static void ftyp(Mp4BoxBuilder box, boolean fragmented) {
    box.start("ftyp");
    if (fragmented) {
      box.type("iso5").u32(512).type("iso5").type("iso6").type("avc1").type("mp41");
    } else {
      box.type("isom").u32(512).type("isom").type("iso2").type("avc1").type("mp41");
    }
    box.end();
  }

  /** The size of a version 1 {@code mehd} box, and of the {@code free} box that holds its place. */
  static final int MEHD_SIZE = 20;

  /**
   * The movie box. Progressive: the sample tables of {@code samples}, whose offsets are relative
   * to {@code mdatPayloadStart}. Fragmented: empty sample tables and an {@code mvex} box, which
   * starts with a {@code free} box of {@link #MEHD_SIZE} bytes where {@link #mehd} can go once the
   * length is known.
   *
   * @return where in {@code box} the {@code free} box for {@code mehd} starts; -1 if progressive
   */
  static int moov(
      Mp4BoxBuilder box, Mp4WriterFormat format, Mp4WriterSamples samples,
      long mdatPayloadStart, boolean fragmented) {
    long duration = fragmented ? 0 : samples.totalDuration();
    int version = duration > MAX_U32 ? 1 : 0;
    box.start("moov");
    box.startFull("mvhd", version, 0);
    times(box, version, format.timescale, duration);
    box.u32(0x00010000).u16(0x0100).zeros(10);
    matrix(box);
    box.zeros(24).u32(TRACK_ID + 1).end();

    box.start("trak");
    box.startFull("tkhd", version, 0x3);
    if (version == 1) {
      box.u64(0).u64(0).u32(TRACK_ID).u32(0).u64(duration);
    } else {
      box.u32(0).u32(0).u32(TRACK_ID).u32(0).u32(duration);
    }
    box.zeros(8).u16(0).u16(0).u16(0).u16(0);
    trackMatrix(box, format);
    box.u32((long) format.width << 16).u32((long) format.height << 16).end();

    box.start("mdia");
    box.startFull("mdhd", version, 0);
    times(box, version, format.timescale, duration);
    box.u16(0x55C4).u16(0).end(); // language "und"
    byte[] handler = "VideoHandler\0".getBytes(StandardCharsets.US_ASCII);
    box.startFull("hdlr", 0, 0).u32(0).type("vide").zeros(12)
        .bytes(handler, 0, handler.length).end();
    box.start("minf");
    box.startFull("vmhd", 0, 1).zeros(8).end();
    box.start("dinf").startFull("dref", 0, 0).u32(1).startFull("url ", 0, 1).end().end().end();
    sampleTable(box, format, fragmented ? null : samples, mdatPayloadStart);
    box.end().end().end(); // minf, mdia, trak

    int mehdPlace = -1;
    if (fragmented) {
      box.start("mvex");
      mehdPlace = box.size();
      box.u32(MEHD_SIZE).type("free").zeros(MEHD_SIZE - 8);
      box.startFull("trex", 0, 0).u32(TRACK_ID).u32(1).u32(0).u32(0).u32(0);
      box.end().end();
    }
    box.end();
    return mehdPlace;
  }

  private static void sampleTable(
      Mp4BoxBuilder box, Mp4WriterFormat format, Mp4WriterSamples samples, long base) {
    box.start("stbl");
    box.startFull("stsd", 0, 0).u32(1);
    box.start("avc1").zeros(6).u16(1).zeros(16).u16(format.width).u16(format.height);
    box.u32(0x00480000).u32(0x00480000).u32(0).u16(1);
    byte[] name = "tqh264bridge".getBytes(StandardCharsets.US_ASCII);
    box.u8(name.length).bytes(name, 0, name.length).zeros(31 - name.length);
    box.u16(0x18).u16(0xFFFF);
    format.writeAvcC(box);
    format.writeColr(box);
    box.end().end(); // avc1, stsd

    int count = samples == null ? 0 : samples.count();
    // stts: runs of equal durations.
    box.startFull("stts", 0, 0);
    int entries = box.size();
    box.u32(0);
    int runs = 0;
    for (int i = 0; i < count; ) {
      int run = 1;
      while (i + run < count && samples.duration(i + run) == samples.duration(i)) {
        run++;
      }
      box.u32(run).u32(samples.duration(i));
      runs++;
      i += run;
    }
    box.patchU32(entries, runs).end();

    if (count > 0) {
      box.startFull("stss", 0, 0);
      entries = box.size();
      box.u32(0);
      int syncCount = 0;
      for (int i = 0; i < count; i++) {
        if (samples.isSync(i)) {
          box.u32(i + 1);
          syncCount++;
        }
      }
      box.patchU32(entries, syncCount).end();
    }

    box.startFull("stsz", 0, 0).u32(0).u32(count);
    for (int i = 0; i < count; i++) {
      box.u32(samples.size(i));
    }
    box.end();
    // One sample per chunk: every sample has its own offset.
    box.startFull("stsc", 0, 0);
    if (count > 0) {
      box.u32(1).u32(1).u32(1).u32(1);
    } else {
      box.u32(0);
    }
    box.end();
    chunkOffsets(box, samples, base);
    box.end();
  }

  /**
   * Writes {@code stco}, or {@code co64} when an offset ({@code base} plus the sample's) does not
   * fit 32 bits.
   */
  static void chunkOffsets(Mp4BoxBuilder box, Mp4WriterSamples samples, long base) {
    int count = samples == null ? 0 : samples.count();
    boolean wide = count > 0 && base + samples.offset(count - 1) > MAX_U32;
    box.startFull(wide ? "co64" : "stco", 0, 0).u32(count);
    for (int i = 0; i < count; i++) {
      if (wide) {
        box.u64(base + samples.offset(i));
      } else {
        box.u32(base + samples.offset(i));
      }
    }
    box.end();
  }

  /** The header of an {@code mdat} box with this many payload bytes; 64-bit size past 4 GiB. */
  static void mdatHeader(Mp4BoxBuilder box, long payload) {
    if (payload + 8 > MAX_U32) {
      box.u32(1).type("mdat").u64(payload + 16);
    } else {
      box.u32(payload + 8).type("mdat");
    }
  }

  /**
   * A movie fragment for the samples (in the {@code mdat} that follows it), starting at decode
   * time {@code baseTime}.
   */
  static void moof(Mp4BoxBuilder box, int sequence, long baseTime, Mp4WriterSamples samples) {
    int moofStart = box.size();
    box.start("moof");
    box.startFull("mfhd", 0, 0).u32(sequence).end();
    box.start("traf");
    box.startFull("tfhd", 0, 0x020000).u32(TRACK_ID).end(); // base: the moof
    box.startFull("tfdt", 1, 0).u64(baseTime).end();
    box.startFull("trun", 0, 0x000701).u32(samples.count());
    int dataOffset = box.size();
    box.u32(0);
    for (int i = 0; i < samples.count(); i++) {
      box.u32(samples.duration(i)).u32(samples.size(i));
      box.u32(samples.isSync(i) ? SYNC_SAMPLE_FLAGS : NON_SYNC_SAMPLE_FLAGS);
    }
    box.end().end().end();
    box.patchU32(dataOffset, box.size() - moofStart + 8);
  }

  /** The movie extends header: the fragmented movie's whole length, in the movie's time scale. */
  static void mehd(Mp4BoxBuilder box, long duration) {
    box.startFull("mehd", 1, 0).u64(duration).end();
  }

  /**
   * The closing movie fragment random access box: a {@code tfra} entry (decode time, offset of
   * the {@code moof} from the start of the output) for each fragment that starts with a sync
   * sample, then the {@code mfro} box with the whole box's size, by which readers find it from the
   * end of the file.
   */
  static void mfra(Mp4BoxBuilder box, long[] times, long[] moofOffsets, int count) {
    int start = box.size();
    box.start("mfra");
    box.startFull("tfra", 1, 0).u32(TRACK_ID).u32(0).u32(count); // 1-byte traf/trun/sample
    for (int i = 0; i < count; i++) {
      box.u64(times[i]).u64(moofOffsets[i]).u8(1).u8(1).u8(1);
    }
    box.end();
    int mfroStart = box.size();
    box.startFull("mfro", 0, 0).u32(0).end();
    box.end();
    box.patchU32(mfroStart + 12, box.size() - start);
  }

  private static void times(Mp4BoxBuilder box, int version, int timescale, long duration) {
    if (version == 1) {
      box.u64(0).u64(0).u32(timescale).u64(duration);
    } else {
      box.u32(0).u32(0).u32(timescale).u32(duration);
    }
  }

  private static void matrix(Mp4BoxBuilder box) {
    for (int value : MATRIX) {
      box.u32(value);
    }
  }

  /**
   * The track's matrix: its orientation, moved by the picture's width or height where the turn
   * leaves it left of or above the origin, so that readers who place it by the matrix find it at
   * 0,0 as those who only read the rotation do.
   */
  private static void trackMatrix(Mp4BoxBuilder box, Mp4WriterFormat format) {
    int[] m = format.orientation.matrix();
    long tx = -(Math.min(0, m[0]) * (long) format.width + Math.min(0, m[2]) * (long) format.height);
    long ty = -(Math.min(0, m[1]) * (long) format.width + Math.min(0, m[3]) * (long) format.height);
    box.u32(m[0]).u32(m[1]).u32(0).u32(m[2]).u32(m[3]).u32(0).u32(tx).u32(ty).u32(0x40000000);
  }
}
