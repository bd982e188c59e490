package tq.brindlecast.openh264.mp4;

/**
 * Adds the samples a movie fragment ({@code moof}) gives the video track: each {@code traf} of
 * the track, its {@code tfhd} defaults over the movie's {@code trex} ones, its {@code tfdt} decode
 * time and its {@code trun} runs of samples.
 */
final class FragmentParser {
  private static final int BASE_DATA_OFFSET = 0x1;
  private static final int DESCRIPTION_INDEX = 0x2;
  private static final int DEFAULT_DURATION = 0x8;
  private static final int DEFAULT_SIZE = 0x10;
  private static final int DEFAULT_FLAGS = 0x20;
  private static final int BASE_IS_MOOF = 0x20000;

  private static final int DATA_OFFSET = 0x1;
  private static final int FIRST_SAMPLE_FLAGS = 0x4;
  private static final int SAMPLE_DURATION = 0x100;
  private static final int SAMPLE_SIZE = 0x200;
  private static final int SAMPLE_FLAGS = 0x400;
  private static final int SAMPLE_COMPOSITION_OFFSET = 0x800;

  private static final long NON_SYNC = 0x10000;
  /** Farther than any file's end, and far enough from overflow to add a sample's size to. */
  private static final long FAR = 1L << 62;

  private FragmentParser() {}

  /**
   * Adds the fragment's samples of the track to {@code samples}. When the last fragment's samples
   * reach past the end of the file, a recording cut short, those whose bytes are all in the file
   * are added and the rest counted as missing.
   *
   * @param last whether this is the file's last fragment
   */
  static void add(
      ParsedBox moof, MovieBoxParser.VideoTrack track, SampleTable samples, boolean last)
      throws Mp4FormatException {
    long previousDataEnd = moof.start;
    for (ParsedBox traf : moof.all("traf")) {
      ParsedBox.Cursor tfhd = traf.require("tfhd").cursor();
      int flags = tfhd.s32() & 0xFFFFFF;
      int trackId = tfhd.s32();
      long base =
          (flags & BASE_DATA_OFFSET) != 0
              ? tfhd.sized(true)
              : (flags & BASE_IS_MOOF) != 0 ? moof.start : previousDataEnd;
      MovieBoxParser.FragmentDefaults defaults = track.defaults();
      int description =
          (flags & DESCRIPTION_INDEX) != 0 ? tfhd.s32() : defaults.description();
      long duration = (flags & DEFAULT_DURATION) != 0 ? tfhd.u32() : defaults.duration();
      long size = (flags & DEFAULT_SIZE) != 0 ? tfhd.u32() : defaults.size();
      long sampleFlags = (flags & DEFAULT_FLAGS) != 0 ? tfhd.u32() : defaults.flags();
      if (trackId != track.trackId()) {
        // Its data's end is where the next traf's data starts when that tfhd gives no base.
        previousDataEnd =
            otherTrackDataEnd(traf, base, (flags & DEFAULT_SIZE) != 0 ? size : -1, trackId);
        continue;
      }
      if (description < 1 || description > track.entries().size()) {
        throw new Mp4FormatException(
            "the tfhd box at offset " + traf.start + " names sample description " + description
                + " of " + track.entries().size());
      }
      long decodeTime = samples.decodeEnd();
      ParsedBox tfdt = traf.child("tfdt");
      if (tfdt != null) {
        ParsedBox.Cursor fields = tfdt.cursor();
        boolean wide = fields.u8() == 1;
        fields.skip(3);
        decodeTime = fields.sized(wide);
      }
      long dataPosition = base;
      for (ParsedBox trun : traf.all("trun")) {
        ParsedBox.Cursor fields = trun.cursor();
        int runFlags = fields.s32() & 0xFFFFFF;
        long count = fields.u32();
        if ((runFlags & DATA_OFFSET) != 0) {
          dataPosition = base + fields.s32();
        }
        long firstFlags = (runFlags & FIRST_SAMPLE_FLAGS) != 0 ? fields.u32() : -1;
        int perSample = 4 * Integer.bitCount(runFlags & 0xF00);
        fields.requireEntries(count, perSample);
        if (count > 0 && (runFlags & SAMPLE_SIZE) == 0 && size == 0) {
          throw new Mp4FormatException(
              "the trun box at offset " + trun.start + " gives " + count
                  + " samples no size, and the track's default size is 0");
        }
        for (long i = 0; i < count; i++) {
          long sampleDuration = (runFlags & SAMPLE_DURATION) != 0 ? fields.u32() : duration;
          long sampleSize = (runFlags & SAMPLE_SIZE) != 0 ? fields.u32() : size;
          long flagsHere =
              (runFlags & SAMPLE_FLAGS) != 0
                  ? fields.u32()
                  : i == 0 && firstFlags >= 0 ? firstFlags : sampleFlags;
          int compositionOffset =
              (runFlags & SAMPLE_COMPOSITION_OFFSET) != 0 ? fields.s32() : 0;
          if (!samples.fits(dataPosition, sampleSize) || sampleSize > Integer.MAX_VALUE) {
            if (last && dataPosition >= 0) {
              // A recording cut short: its complete samples stay, the rest are counted lost.
              samples.addMissing(count - i + laterSamples(traf, trun));
              return;
            }
            throw new Mp4FormatException(
                "the trun box at offset " + trun.start + " puts a sample of " + sampleSize
                    + " bytes at offset " + dataPosition + ", outside the file");
          }
          samples.add(dataPosition, (int) sampleSize, decodeTime, compositionOffset,
              sampleDuration, (flagsHere & NON_SYNC) == 0, description);
          dataPosition += sampleSize;
          decodeTime += sampleDuration;
        }
      }
      previousDataEnd = dataPosition;
    }
  }

  /** The samples the truns after {@code trun} in the traf list. */
  private static long laterSamples(ParsedBox traf, ParsedBox trun) throws Mp4FormatException {
    long later = 0;
    boolean after = false;
    for (ParsedBox other : traf.all("trun")) {
      if (after) {
        later += other.cursor(4).u32();
      }
      after |= other == trun;
    }
    return later;
  }

  /**
   * Where the samples of another track's traf end: its runs' sizes added up from {@code base}.
   *
   * @param defaultSize the tfhd's default sample size, or -1 if it gives none
   */
  private static long otherTrackDataEnd(ParsedBox traf, long base, long defaultSize, int trackId)
      throws Mp4FormatException {
    long position = base;
    for (ParsedBox trun : traf.all("trun")) {
      ParsedBox.Cursor fields = trun.cursor();
      int runFlags = fields.s32() & 0xFFFFFF;
      long count = fields.u32();
      if ((runFlags & DATA_OFFSET) != 0) {
        position = base + fields.s32();
      }
      if ((runFlags & FIRST_SAMPLE_FLAGS) != 0) {
        fields.skip(4);
      }
      fields.requireEntries(count, 4 * Integer.bitCount(runFlags & 0xF00));
      if ((runFlags & SAMPLE_SIZE) == 0) {
        if (count > 0 && defaultSize < 0) {
          throw new Mp4FormatException(
              "the trun box at offset " + trun.start + " of track " + trackId + " gives its "
                  + count + " samples no size in the fragment, so where the video's data"
                  + " starts after them is unknown");
        }
        position = advance(position, count, defaultSize, trun);
        continue;
      }
      for (long i = 0; i < count; i++) {
        if ((runFlags & SAMPLE_DURATION) != 0) {
          fields.skip(4);
        }
        position = advance(position, 1, fields.u32(), trun);
        fields.skip(4 * Integer.bitCount(runFlags & (SAMPLE_FLAGS | SAMPLE_COMPOSITION_OFFSET)));
      }
    }
    return position;
  }

  /** {@code position} moved past {@code count} samples of {@code size} bytes, within reason. */
  private static long advance(long position, long count, long size, ParsedBox trun)
      throws Mp4FormatException {
    if (size != 0 && (position > FAR || count > (FAR - position) / size)) {
      throw new Mp4FormatException(
          "the trun box at offset " + trun.start + " gives samples that end past any file");
    }
    return position + count * size;
  }
}
