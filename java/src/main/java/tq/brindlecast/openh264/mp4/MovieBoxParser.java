package tq.brindlecast.openh264.mp4;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * Finds the H.264 video track in a {@code moov} box and reads its sample tables into a {@link
 * SampleTable}. Every count is checked against the bytes of its box before anything is allocated
 * for it, and tables that describe different numbers of samples are refused.
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
      FragmentDefaults defaults) {}

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
    tkhd.skip(tkhd.u8() == 1 ? 3 + 16 : 3 + 8);
    int trackId = tkhd.s32();
    long timescale = timescale(mdia.require("mdhd"));
    long movieTimescale = timescale(moov.require("mvhd"));
    SampleTable samples = new SampleTable(fileSize);
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
    return new VideoTrack(trackId, timescale, entries, samples, shift, defaults);
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
    long[] sizes = sampleSizes(stbl, samples.fileSize());
    int count = sizes.length;
    long[] chunkOffsets = chunkOffsets(stbl);
    long[] decodeTimes = new long[count + 1];
    long[] durations = new long[count];
    timeToSample(stbl.require("stts"), decodeTimes, durations);
    int[] compositionOffsets = compositionOffsets(stbl.child("ctts"), count);
    boolean[] sync = syncSamples(stbl.child("stss"), count);

    ParsedBox stsc = stbl.require("stsc");
    ParsedBox.Cursor runs = stsc.cursor(4);
    long runCount = runs.u32();
    runs.requireEntries(runCount, 12);
    int sample = 0;
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
          if (!samples.fits(offset, sizes[sample]) || sizes[sample] > Integer.MAX_VALUE) {
            throw new Mp4FormatException(
                "sample " + (sample + 1) + " (" + sizes[sample] + " bytes at offset " + offset
                    + ") lies past the end of the file: it was cut short");
          }
          samples.add(offset, (int) sizes[sample], decodeTimes[sample],
              compositionOffsets[sample], durations[sample], sync[sample], (int) description);
          offset += sizes[sample];
        }
      }
      firstChunk = nextFirstChunk;
    }
    if (sample != count) {
      throw disagree(stsc, "its chunks hold " + sample + " samples, stsz lists " + count);
    }
  }

  private static long[] sampleSizes(ParsedBox stbl, long fileSize) throws Mp4FormatException {
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
        long[] sizes = new long[(int) count];
        java.util.Arrays.fill(sizes, constant);
        return sizes;
      }
      fields.requireEntries(count, 4);
      long[] sizes = new long[(int) count];
      for (int i = 0; i < count; i++) {
        sizes[i] = fields.u32();
      }
      return sizes;
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
    long[] sizes = new long[(int) count];
    for (int i = 0; i < count; i++) {
      if (fieldBits == 16) {
        sizes[i] = fields.u16();
      } else if (fieldBits == 8) {
        sizes[i] = fields.u8();
      } else {
        int pair = fields.u8();
        sizes[i] = pair >> 4;
        if (++i < count) {
          sizes[i] = pair & 0xF;
        }
      }
    }
    return sizes;
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

  /** Fills the decode times (one more than samples: the end) and durations from stts. */
  private static void timeToSample(ParsedBox stts, long[] decodeTimes, long[] durations)
      throws Mp4FormatException {
    ParsedBox.Cursor fields = stts.cursor(4);
    long runs = fields.u32();
    fields.requireEntries(runs, 8);
    int sample = 0;
    int count = durations.length;
    for (long run = 0; run < runs; run++) {
      long runLength = fields.u32();
      long delta = fields.u32();
      if (runLength > count - sample) {
        throw disagree(stts, "it gives times to more samples than the " + count + " in stsz");
      }
      for (long i = 0; i < runLength; i++, sample++) {
        durations[sample] = delta;
        decodeTimes[sample + 1] = decodeTimes[sample] + delta;
      }
    }
    if (sample != count) {
      throw disagree(stts, "it gives times to " + sample + " samples, stsz lists " + count);
    }
  }

  private static int[] compositionOffsets(ParsedBox ctts, int count) throws Mp4FormatException {
    int[] offsets = new int[count];
    if (ctts == null) {
      return offsets;
    }
    // Version 0 declares the offsets unsigned, but writers put negative ones there too.
    ParsedBox.Cursor fields = ctts.cursor(4);
    long runs = fields.u32();
    fields.requireEntries(runs, 8);
    int sample = 0;
    for (long run = 0; run < runs; run++) {
      long runLength = fields.u32();
      int offset = fields.s32();
      if (runLength > count - sample) {
        throw disagree(ctts, "it gives offsets to more samples than the " + count + " in stsz");
      }
      for (long i = 0; i < runLength; i++) {
        offsets[sample++] = offset;
      }
    }
    if (sample != count) {
      throw disagree(ctts, "it gives offsets to " + sample + " samples, stsz lists " + count);
    }
    return offsets;
  }

  private static boolean[] syncSamples(ParsedBox stss, int count) throws Mp4FormatException {
    boolean[] sync = new boolean[count];
    if (stss == null) {
      java.util.Arrays.fill(sync, true);
      return sync;
    }
    ParsedBox.Cursor fields = stss.cursor(4);
    long entries = fields.u32();
    fields.requireEntries(entries, 4);
    for (long i = 0; i < entries; i++) {
      long number = fields.u32();
      if (number < 1 || number > count) {
        throw disagree(stss, "it names sample " + number + " of " + count);
      }
      sync[(int) number - 1] = true;
    }
    return sync;
  }

  private static Mp4FormatException disagree(ParsedBox box, String what) {
    return new Mp4FormatException(
        "the sample tables disagree: in the " + box.name() + " box at offset " + box.start + ", "
            + what);
  }
}
