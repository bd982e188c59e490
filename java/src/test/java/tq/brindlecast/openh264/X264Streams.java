package tq.brindlecast.openh264;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.NalUnit;

/** H.264 streams made by ffmpeg with libx264, among them the kinds OpenH264 cannot decode. */
public final class X264Streams {
  /** The streams OpenH264 does not decode, by what is unusual about them, with x264 options. */
  public static final Map<String, String[]> UNSUPPORTED = new LinkedHashMap<>();

  static {
    UNSUPPORTED.put("interlaced", new String[] {"-flags", "+ildct+ilme", "-pix_fmt", "yuv420p"});
    UNSUPPORTED.put("4:2:2", new String[] {"-pix_fmt", "yuv422p"});
    UNSUPPORTED.put("4:4:4", new String[] {"-pix_fmt", "yuv444p"});
    UNSUPPORTED.put("High 10", new String[] {"-pix_fmt", "yuv420p10le"});
    UNSUPPORTED.put("lossless", new String[] {"-qp", "0", "-pix_fmt", "yuv420p"});
  }

  private X264Streams() {}

  /**
   * Encodes {@code frames} pictures of ffmpeg's test source at {@code size} and {@code rate} with
   * libx264 and the given options to an Annex B file in {@code dir}, made once per name.
   */
  public static Path make(Path dir, String name, String size, String rate, int frames,
      String... options) throws Exception {
    Path file = dir.resolve(name.replaceAll("[^A-Za-z0-9]", "_") + ".h264");
    if (Files.isRegularFile(file) && Files.size(file) > 0) {
      return file;
    }
    List<String> args = new ArrayList<>(List.of("-loglevel", "error", "-f", "lavfi", "-i",
        "testsrc=size=" + size + ":rate=" + rate, "-frames:v", String.valueOf(frames),
        "-c:v", "libx264"));
    args.addAll(List.of(options));
    args.add(file.toString());
    FfmpegTool.run(args.toArray(String[]::new));
    return file;
  }

  /** The first sequence parameter set of an Annex B file, as a NAL unit without start code. */
  public static byte[] firstSps(Path file) throws Exception {
    byte[] stream = Files.readAllBytes(file);
    for (NalUnit unit : AnnexB.nalUnits(stream)) {
      if (unit.type() == NalUnit.TYPE_SPS) {
        return java.util.Arrays.copyOfRange(stream, unit.offset(), unit.offset() + unit.length());
      }
    }
    throw new AssertionError(file + " has no sequence parameter set");
  }
}
