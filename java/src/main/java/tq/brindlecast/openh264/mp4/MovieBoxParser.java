package tq.brindlecast.openh264.mp4;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * Finds the H.264 video track in a {@code moov} box and reads its sample tables into a {@link
 * SampleTable}. Every count is checked against the bytes of its box before anything is allocated
 * for it, and tables that describe different numbers of samples are refused. Samples from the
 * first one whose bytes lie past the end of the file on are counted as missing: a file cut short
 * keeps the samples before the cut.
 */
final class MovieBoxParser {
  private static final Map<String, String> OTHER_CODECS =
      Map.ofEntries(
          Map.entry("hvc1", "HEVC"), Map.entry("hev1", "HEVC"), Map.entry("dvh1", "Dolby Vision"),
          Map.entry("dvhe", "Dolby Vision"), Map.entry("av01", "AV1"), Map.entry("vp09", "VP9"),
          Map.entry("vp08", "VP8"), Map.entry("mp4v", "MPEG-4 Part 2"),
          Map.entry("s263", "H.263"), Map.entry("mjpg", "Motion JPEG"),
          Map.entry("jpeg", "JPEG"), Map.entry("avc2", "H.264 with parameter sets outside"),
          Map.entry("avc4", "H.264 with parameter sets outside"), Map.entry("vvc1", "VVC"),
          Map.entry("vvi1", "VVC"), Map.entry("apcn", "ProRes"));

  private MovieBoxParser() {}

  /** The defaults a track's fragments fall back on ({@code trex}). */
  record FragmentDefaults(int description, long duration, long size, long flags) {}

  /** What the movie box says of the video track. */
  record VideoTrack(
      int trackId,
      long timescale,
      List<AvcSampleEntry> entries,
      SampleTable samples,
      long presentationShift,
      FragmentDefaults defaults,
      Orientation orientation) {}

  static VideoTrack videoTrack(ParsedBox moov, long fileSize) throws Mp4FormatException {
    List<String> handlers = new ArrayList<>();
    ParsedBox refused = null;
    for (ParsedBox trak : moov.all("trak")) {
      ParsedBox mdia = trak.require("mdia");
      String handler = BoxHeader.fourcc((int) mdia.require("hdlr").cursor(8).u32());
      handlers.add(handler);
      if (!handler.equals("vide")) {
        continue;
      }
      ParsedBox stbl = mdia.require("minf").require("stbl");
      List<ParsedBox> entries = stbl.require("stsd").boxesAfter(8);
      if (entries.isEmpty()) {
        throw new Mp4FormatException(
            "the video track's stsd box at offset " + stbl.require("stsd").start
                + " describes no samples");
      }
      if (isAvc(entries.get(0))) {
        return read(moov, trak, mdia, stbl, entries, fileSize);
      }
      refused = refused == null ? entries.get(0) : refused;
    }
    if (refused != null) {
      throw notAvc(refused);
    }
    throw new Mp4FormatException(
        handlers.isEmpty()
            ? "the file has no tracks"
            : "the file has no video track (its tracks: " + String.join(", ", handlers) + ")");
  }

  private static boolean isAvc(ParsedBox entry) {
    return entry.name().equals("avc1") || entry.name().equals("avc3");
  }

  private static Mp4FormatException notAvc(ParsedBox entry) throws Mp4FormatException {
    String codec = entry.name();
    if (codec.equals("encv")) {
      String original = "unknown";
      String scheme = "unknown";
      for (ParsedBox box : entry.boxesAfter(78)) {
        if (box.type == BoxHeader.fourcc("sinf")) {
          ParsedBox frma = box.child("frma");
          ParsedBox schm = box.child("schm");
          original = frma == null ? original : BoxHeader.fourcc((int) frma.cursor().u32());
          scheme = schm == null ? scheme : BoxHeader.fourcc((int) schm.cursor(4).u32());
        }
      }
      return new Mp4FormatException(
          "the video track is encrypted (encv: " + original + " under protection scheme "
              + scheme + "); it cannot be read without its keys");
    }
    String known = OTHER_CODECS.get(codec);
    return new Mp4FormatException(
        "the video track is " + codec + (known == null ? "" : " (" + known + ")")
            + ", not H.264 (avc1 or avc3)");
  }

  private static VideoTrack read(ParsedBox moov, ParsedBox trak, ParsedBox mdia, ParsedBox stbl,
      List<ParsedBox> entryBoxes, long fileSize) throws Mp4FormatException {
    List<AvcSampleEntry> entries = new ArrayList<>();
    for (ParsedBox entry : entryBoxes) {
      if (!isAvc(entry)) {
        throw notAvc(entry);
      }
      entries.add(AvcSampleEntry.parse(entry));
    }
    ParsedBox.Cursor tkhd = trak.require("tkhd").cursor();
    boolean wideTimes = tkhd.u8() == 1;
    tkhd.skip(wideTimes ? 3 + 16 : 3 + 8);
    int trackId = tkhd.s32();
    // Reserved, duration, reserved, layer, alternate group, volume, reserved; then the matrix.
    tkhd.skip(4 + (wideTimes ? 8 : 4) + 8 + 8);
    int a = tkhd.s32();
    int b = tkhd.s32();
    tkhd.skip(4);
    int c = tkhd.s32();
    int d = tkhd.s32();
    Orientation orientation = Orientation.fromMatrix(a, b, c, d);
    long timescale = timescale(mdia.require("mdhd"));
    long movieTimescale = timescale(moov.require("mvhd"));
    SampleTable samples = new SampleTable(fileSize, SampleSizes.of(stbl, fileSize).count());
    readSampleTables(stbl, samples, entries.size());
    long shift = presentationShift(trak.child("edts"), timescale, movieTimescale);
    ParsedBox mvex = moov.child("mvex");
    FragmentDefaults defaults = new FragmentDefaults(1, 0, 0, 0);
    if (mvex != null) {
      for (ParsedBox trex : mvex.all("trex")) {
        ParsedBox.Cursor fields = trex.cursor(4);
        if (fields.s32() == trackId) {
          defaults =
              new FragmentDefaults(fields.s32(), fields.u32(), fields.u32(), fields.u32());
        }
      }
    }
    return new VideoTrack(trackId, timescale, entries, samples, shift, defaults, orientation);
  }

  private static long timescale(ParsedBox header) throws Mp4FormatException {
    ParsedBox.Cursor fields = header.cursor();
    fields.skip(fields.u8() == 1 ? 3 + 16 : 3 + 8);
    long timescale = fields.u32();
    if (timescale == 0) {
      throw new Mp4FormatException(
          "the " + header.name() + " box at offset " + header.start + " has a timescale of 0");
    }
    return timescale;
  }

  /**
   * How far the edit list moves presentation times: an empty first edit delays the track, and
   * the first edit that shows media starts the presentation at its media time.
   */
  private static long presentationShift(ParsedBox edts, long timescale, long movieTimescale)
      throws Mp4FormatException {
    ParsedBox elst = edts == null ? null : edts.child("elst");
    if (elst == null) {
      return 0;
    }
    ParsedBox.Cursor fields = elst.cursor();
    boolean wide = fields.u8() == 1;
    fields.skip(3);
    long count = fields.u32();
    fields.requireEntries(count, wide ? 20 : 12);
    long delay = 0;
    for (long i = 0; i < Math.min(count, 2); i++) {
      long segmentDuration = fields.sized(wide);
      long mediaTime = wide ? fields.s64() : fields.s32();
      fields.skip(4);
      if (mediaTime != -1) {
        return delay - mediaTime;
      }
      if (i == 0) {
        // Movie timescale to media timescale; both fit in 32 bits, the duration in 63.
        delay = (long) ((double) segmentDuration * timescale / movieTimescale);
      }
    }
    return delay;
  }

  private static void readSampleTables(ParsedBox stbl, SampleTable samples, int descriptions)
      throws Mp4FormatException {
    SampleSizes sizes = SampleSizes.of(stbl, samples.fileSize());
    long count = sizes.count();
    long[] chunkOffsets = chunkOffsets(stbl);
    ParsedBox stts = stbl.require("stts");
    checkRunTotal(stts, count, "times");
    SampleRuns durations = new SampleRuns(stts);
    ParsedBox ctts = stbl.child("ctts");
    if (ctts != null) {
      // Version 0 declares the offsets unsigned, but writers put negative ones there too.
      checkRunTotal(ctts, count, "offsets");
    }
    SampleRuns compositionOffsets = ctts == null ? null : new SampleRuns(ctts);
    long[] sync = syncSamples(stbl.child("stss"), count);

    ParsedBox stsc = stbl.require("stsc");
    ParsedBox.Cursor runs = stsc.cursor(4);
    long runCount = runs.u32();
    runs.requireEntries(runCount, 12);
    int sample = 0;
    long decodeTime = 0;
    long firstChunk = runCount > 0 ? runs.u32() : 1;
    if (firstChunk != 1) {
      throw disagree(stsc, "its first run starts at chunk " + firstChunk + ", not 1");
    }
    for (long run = 0; run < runCount; run++) {
      long samplesPerChunk = runs.u32();
      long description = runs.u32();
      long nextFirstChunk = run + 1 < runCount ? runs.u32() : chunkOffsets.length + 1L;
      if (nextFirstChunk <= firstChunk || nextFirstChunk > chunkOffsets.length + 1L) {
        throw disagree(stsc, "run " + (run + 1) + " covers chunks " + firstChunk + " to "
            + (nextFirstChunk - 1) + " of " + chunkOffsets.length);
      }
      if (description < 1 || description > descriptions) {
        throw disagree(stsc, "run " + (run + 1) + " names sample description " + description
            + " of " + descriptions);
      }
      for (long chunk = firstChunk; chunk < nextFirstChunk; chunk++) {
        if (samplesPerChunk > count - sample) {
          throw disagree(stsc, "its chunks hold more samples than the " + count + " in stsz");
        }
        long offset = chunkOffsets[(int) chunk - 1];
        for (long i = 0; i < samplesPerChunk; i++, sample++) {
          long size = sizes.next();
          if (samples.missingSamples() > 0 || !samples.fits(offset, size)
              || size > Integer.MAX_VALUE) {
            // A file cut short: this sample and every later one are lost, the earlier ones kept.
            samples.addMissing(1);
            continue;
          }
          long duration = durations.next();
          int compositionOffset =
              compositionOffsets == null ? 0 : (int) compositionOffsets.next();
          boolean isSync = sync == null || (sync[sample >> 6] & 1L << sample) != 0;
          samples.add(offset, (int) size, decodeTime, compositionOffset, duration, isSync,
              (int) description);
          decodeTime += duration;
          offset += size;
        }
      }
      firstChunk = nextFirstChunk;
    }
    if (sample != count) {
      throw disagree(stsc, "its chunks hold " + sample + " samples, stsz lists " + count);
    }
  }

  /** The sizes of stsz or stz2, read one at a time: a table of them would outweigh the file. */
  private static final class SampleSizes {
    private final ParsedBox.Cursor fields;
    private final long constant;
    private final int fieldBits;
    private final long count;
    private int pair = -1;

    private SampleSizes(ParsedBox.Cursor fields, long constant, int fieldBits, long count) {
      this.fields = fields;
      this.constant = constant;
      this.fieldBits = fieldBits;
      this.count = count;
    }

    static SampleSizes of(ParsedBox stbl, long fileSize) throws Mp4FormatException {
      ParsedBox stsz = stbl.child("stsz");
      if (stsz != null) {
        ParsedBox.Cursor fields = stsz.cursor(4);
        long constant = fields.u32();
        long count = fields.u32();
        if (constant != 0) {
          // Every sample needs its bytes in the file, which bounds the count.
          if (constant > Integer.MAX_VALUE || count > fileSize / constant) {
            throw disagree(stsz, "it lists " + count + " samples of " + constant
                + " bytes, more than the file's " + fileSize + " bytes hold");
          }
          return new SampleSizes(fields, constant, 0, count);
        }
        fields.requireEntries(count, 4);
        return new SampleSizes(fields, 0, 32, count);
      }
      ParsedBox stz2 = stbl.child("stz2");
      if (stz2 == null) {
        throw new Mp4FormatException(
            "the stbl box at offset " + stbl.start + " has neither an stsz nor an stz2 box");
      }
      ParsedBox.Cursor fields = stz2.cursor(7);
      int fieldBits = fields.u8();
      long count = fields.u32();
      if (fieldBits != 4 && fieldBits != 8 && fieldBits != 16) {
        throw disagree(stz2, "its fields are " + fieldBits + " bits (4, 8 or 16 are allowed)");
      }
      fields.requireEntries((count * fieldBits + 7) / 8, 1);
      return new SampleSizes(fields, 0, fieldBits, count);
    }

    long count() {
      return count;
    }

    long next() throws Mp4FormatException {
      switch (fieldBits) {
        case 0:
          return constant;
        case 32:
          return fields.u32();
        case 16:
          return fields.u16();
        case 8:
          return fields.u8();
        default:
          if (pair >= 0) {
            int low = pair & 0xF;
            pair = -1;
            return low;
          }
          pair = fields.u8();
          return pair >> 4;
      }
    }
  }

  /** The per-sample values of stts or ctts, read from their runs one sample at a time. */
  private static final class SampleRuns {
    private final ParsedBox.Cursor fields;
    private long left;
    private long value;

    SampleRuns(ParsedBox box) throws Mp4FormatException {
      fields = box.cursor(8);
    }

    long next() throws Mp4FormatException {
      while (left == 0) {
        left = fields.u32();
        value = fields.u32();
      }
      left--;
      return value;
    }
  }

  /** Checks that the runs of stts or ctts cover exactly the {@code count} samples. */
  private static void checkRunTotal(ParsedBox box, long count, String what)
      throws Mp4FormatException {
    ParsedBox.Cursor fields = box.cursor(4);
    long runs = fields.u32();
    fields.requireEntries(runs, 8);
    long total = 0;
    for (long run = 0; run < runs; run++) {
      total += fields.u32();
      fields.skip(4);
      if (total > count) {
        throw disagree(box, "it gives " + what + " to more samples than the " + count
            + " in stsz");
      }
    }
    if (total != count) {
      throw disagree(box, "it gives " + what + " to " + total + " samples, stsz lists " + count);
    }
  }

  private static long[] chunkOffsets(ParsedBox stbl) throws Mp4FormatException {
    ParsedBox box = stbl.child("stco");
    boolean wide = false;
    if (box == null) {
      box = stbl.child("co64");
      wide = true;
    }
    if (box == null) {
      throw new Mp4FormatException(
          "the stbl box at offset " + stbl.start + " has neither an stco nor a co64 box");
    }
    ParsedBox.Cursor fields = box.cursor(4);
    long count = fields.u32();
    fields.requireEntries(count, wide ? 8 : 4);
    long[] offsets = new long[(int) count];
    for (int i = 0; i < count; i++) {
      offsets[i] = fields.sized(wide);
    }
    return offsets;
  }

  /** The sync samples as bits, or null when every sample is one (no stss box). */
  private static long[] syncSamples(ParsedBox stss, long count) throws Mp4FormatException {
    if (stss == null) {
      return null;
    }
    ParsedBox.Cursor fields = stss.cursor(4);
    long entries = fields.u32();
    fields.requireEntries(entries, 4);
    long[] sync = new long[(int) ((count + 63) / 64)];
    for (long i = 0; i < entries; i++) {
      long number = fields.u32();
      if (number < 1 || number > count) {
        throw disagree(stss, "it names sample " + number + " of " + count);
      }
      sync[(int) ((number - 1) >> 6)] |= 1L << (number - 1);
    }
    return sync;
  }

  private static Mp4FormatException disagree(ParsedBox box, String what) {
    return new Mp4FormatException(
        "the sample tables disagree: in the " + box.name() + " box at offset " + box.start + ", "
            + what);
  }
}
