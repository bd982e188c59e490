package tq.brindlecast.openh264;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import tq.brindlecast.openh264.bitstream.AccessUnitReader;
import tq.brindlecast.openh264.bitstream.NalUnit;

/**
 * H.264 test streams made by ffmpeg with libx264 from its moving test pattern, and the pictures
 * ffmpeg's own decoder makes of them.
 */
public final class StreamSamples {
  final String name;
  final int width;
  final int height;
  public final byte[] stream;
  /** ffmpeg's pictures, packed I420, in output order. */
  public final List<byte[]> reference;

  private StreamSamples(String name, int width, int height, byte[] stream, List<byte[]> reference) {
    this.name = name;
    this.width = width;
    this.height = height;
    this.stream = stream;
    this.reference = reference;
  }

  /**
   * Encodes `frames` pictures of width x height with libx264 and the given extra encoder options
   * (for example "-profile:v", "main"), and decodes the result with ffmpeg.
   */
  public static StreamSamples make(
      Path dir, String name, int width, int height, int frames, String... x264Options)
      throws IOException, InterruptedException {
    Path h264 = dir.resolve(name + ".h264");
    List<String> arguments =
        new ArrayList<>(
            List.of(
                "-loglevel", "error", "-f", "lavfi",
                "-i", "testsrc2=size=" + width + "x" + height + ":rate=30",
                "-frames:v", String.valueOf(frames), "-pix_fmt", "yuv420p", "-c:v", "libx264"));
    arguments.addAll(List.of(x264Options));
    arguments.addAll(List.of("-f", "h264", h264.toString()));
    FfmpegTool.run(arguments.toArray(new String[0]));
    byte[] stream = Files.readAllBytes(h264);
    byte[] decoded = FfmpegTool.decodeToI420(h264, dir.resolve(name + ".yuv"));
    int pictureBytes = width * height * 3 / 2;
    List<byte[]> reference = new ArrayList<>();
    for (int offset = 0; offset + pictureBytes <= decoded.length; offset += pictureBytes) {
      reference.add(Arrays.copyOfRange(decoded, offset, offset + pictureBytes));
    }
    Files.deleteIfExists(h264);
    Files.deleteIfExists(dir.resolve(name + ".yuv"));
    return new StreamSamples(name, width, height, stream, reference);
  }

  List<byte[]> accessUnits() {
    return AccessUnitReader.split(stream);
  }

  /** The profile_idc of the first SPS. */
  int profileIdc() {
    List<byte[]> units = accessUnits();
    byte[] first = units.get(0);
    for (int i = 0; i + 4 < first.length; i++) {
      if (first[i] == 0 && first[i + 1] == 0 && first[i + 2] == 1 && NalUnit.typeOf(first[i + 3]) == NalUnit.TYPE_SPS) {
        return first[i + 4] & 0xFF;
      }
    }
    throw new IllegalStateException(name + " has no SPS in its first access unit");
  }

  @Override
  public String toString() {
    return name;
  }
}
