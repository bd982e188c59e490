package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.InputStream;
import java.util.Set;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;
import tq.brindlecast.openh264.mp4.Mp4Reader;
import tq.brindlecast.openh264.mp4.Mp4Track;
import tq.brindlecast.openh264.mp4.Orientation;

/** {@code info}: what an H.264 Annex B file or an MP4 file's video track holds. */
final class InfoCommand {
  static final String USAGE =
      "Usage: java -jar tqh264bridge.jar info INPUT [--fps F]\n"
          + "Describes an H.264 Annex B file or an MP4 file: codec, profile and level, picture\n"
          + "size, pictures, key frames, duration and frame rate.\n\n"
          + "  INPUT               the H.264 or MP4 file; - reads standard input\n"
          + "  --fps F             the frame rate of an H.264 stream whose SPS carries no timing,\n"
          + "                      to give its duration (a raw stream has no time stamps)\n";

  private static final Set<Integer> PROFILES =
      Set.of(44, 66, 77, 83, 86, 88, 100, 110, 118, 122, 128, 134, 135, 138, 139, 244);

  private InfoCommand() {}

  static int run(String[] args, ToolOutput output) throws UsageException, IOException {
    Options options = Options.parse(args, Set.of("fps"), Set.of(), 1);
    String input = options.positional(0);
    if (input == null) {
      throw new UsageException("info needs an INPUT file (.h264 or .mp4)");
    }
    double fps = options.rate("fps", 30, 1000);
    String name = input.equals(ToolFiles.STDIO) ? "standard input" : input;
    try (InputStream in = ToolFiles.openInput(input, output)) {
      if (InputKinds.isMp4(in)) {
        try (Mp4Reader reader = Mp4Inputs.open(input, in, name)) {
          describe(reader.videoTrack(), name, output);
        }
      } else {
        String wrongKind = InputKinds.wrongKind(in, name);
        if (wrongKind != null) {
          throw new IOException(wrongKind);
        }
        describe(in, name, options.has("fps") ? fps : 0, output);
      }
    }
    describeDecoder(output);
    return Main.OK;
  }

  /** The OpenH264 that would decode the file; describing a file does not need one. */
  private static void describeDecoder(ToolOutput output) {
    String decoder;
    try {
      decoder = Main.openH264();
    } catch (LinkageError noLibrary) {
      String reason = String.valueOf(noLibrary.getMessage());
      decoder = "none loaded: " + reason.lines().findFirst().orElse(reason);
    }
    output.summary("decoder", "%s", decoder);
  }

  private static void describe(Mp4Track track, String name, ToolOutput output) {
    output.summary("file", "%s: MP4, %s track %d, %s", name, track.codec(), track.trackId(),
        track.fragmented() ? "fragmented layout" : "one moov (not fragmented)");
    String lost = Mp4Inputs.lost(track);
    if (lost != null) {
      output.summary("damaged", "%s; what follows describes the samples before the cut", lost);
    }
    output.summary("codec", "%s", codec(track.profileIdc(), track.profileCompatibility(),
        track.levelIdc()));
    output.summary("size", "%dx%d", track.width(), track.height());
    Orientation orientation = track.orientation();
    output.summary("display", "%s", orientation == Orientation.NORMAL
        ? "as decoded"
        : orientation.description() + ": shown "
            + (orientation.swapsSides()
                ? track.height() + "x" + track.width() : track.width() + "x" + track.height()));
    if (!track.sequenceParameterSets().isEmpty()) {
      output.summary("scan", "%s", scan(SequenceParameterSet.parse(
          track.sequenceParameterSets().get(0))));
    }
    int keyFrames = 0;
    for (int i = 0; i < track.sampleCount(); i++) {
      keyFrames += track.sample(i).sync() ? 1 : 0;
    }
    output.summary("pictures", "%d", track.pictureCount());
    output.summary("key frames", "%d", keyFrames);
    output.summary("duration", "%s", Main.seconds(track.toSeconds(track.duration())));
    output.summary("frame rate", "%s pictures/s (%s)", Main.number(Mp4Inputs.frameRate(track)),
        Mp4Inputs.isConstantRate(track) ? "constant" : "average: the intervals vary");
  }

  /** An Annex B stream: read through, counting pictures and key frames, the first SPS kept. */
  private static void describe(InputStream in, String name, double fps, ToolOutput output)
      throws IOException {
    DecodeCommand.Counts counts = new DecodeCommand.Counts();
    StreamParameterSets parameterSets = new StreamParameterSets();
    try (AccessUnitReader reader = new AccessUnitReader(in)) {
      for (byte[] unit; (unit = reader.nextAccessUnit()) != null; ) {
        DecodeCommand.count(unit, counts);
        parameterSets.read(unit);
      }
    }
    String notH264 = parameterSets.whyNotH264();
    if (notH264 != null) {
      throw new IOException(name + " is not an H.264 Annex B stream, or it was cut before its"
          + " first picture: " + notH264);
    }
    SequenceParameterSet sps = parameterSets.first();
    output.summary("file", "%s: H.264 Annex B stream", name);
    output.summary("codec", "%s", codec(sps.profileIdc(), sps.constraintFlags(), sps.levelIdc()));
    output.summary("size", "%dx%d", sps.width(), sps.height());
    output.summary("scan", "%s", scan(sps));
    output.summary("pictures", "%d", counts.pictureUnits);
    output.summary("key frames", "%d", counts.keyFrames);
    double rate = sps.hasFrameRate() ? sps.frameRate() : fps;
    if (rate > 0) {
      output.summary("duration", "%s", Main.seconds(counts.pictureUnits / rate));
      output.summary("frame rate", "%s pictures/s (%s)", Main.number(rate),
          sps.hasFrameRate() ? "from the stream's SPS" : "from --fps");
    } else {
      output.summary("duration", "unknown: a raw H.264 stream has no time stamps and this one's"
          + " SPS carries no frame rate; give --fps F");
      output.summary("frame rate", "unknown");
    }
  }

  /** The stream's own scan type, which has nothing to do with how the file is laid out. */
  private static String scan(SequenceParameterSet sps) {
    return sps.frameMbsOnly() ? "progressive (frame_mbs_only_flag 1)"
        : "interlaced (frame_mbs_only_flag 0: fields or field/frame macroblocks)";
  }

  /** {@return whether {@code profileIdc} is one H.264 defines, scalable and multiview ones too} */
  static boolean knownProfile(int profileIdc) {
    return PROFILES.contains(profileIdc);
  }

  /** The codec line, with ffprobe's names for profile and level: "H.264 High (...), level 3.1". */
  static String codec(int profileIdc, int constraintFlags, int levelIdc) {
    boolean set1 = (constraintFlags & 0x40) != 0;
    boolean set3 = (constraintFlags & 0x10) != 0;
    String profile =
        switch (profileIdc) {
          case 66 -> set1 ? "Constrained Baseline" : "Baseline";
          case 77 -> "Main";
          case 88 -> "Extended";
          case 100 -> "High";
          case 110 -> set3 ? "High 10 Intra" : "High 10";
          case 122 -> set3 ? "High 4:2:2 Intra" : "High 4:2:2";
          case 244 -> set3 ? "High 4:4:4 Intra" : "High 4:4:4 Predictive";
          case 44 -> "CAVLC 4:4:4";
          default -> "profile_idc " + profileIdc;
        };
    String level = levelIdc == 11 && set3 && profileIdc == 66 ? "1b"
        : levelIdc / 10 + "." + levelIdc % 10;
    return "H.264 " + profile + " (profile_idc " + profileIdc + "), level " + level;
  }
}
