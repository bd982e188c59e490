package tq.brindlecast.openh264.mp4;

import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/** What ffprobe and ffmpeg say of the MP4s we write, and the pictures the tests write. */
public final class Mp4Peers {
  private Mp4Peers() {}

  /**
   * ffprobe {@code -count_frames} on the first video stream: its entries (nb_read_frames,
   * avg_frame_rate, width, ...) and the container's under "format_" (format_duration).
   */
  public static Map<String, String> probe(Path file) throws IOException, InterruptedException {
    Map<String, String> entries = new LinkedHashMap<>();
    for (String line :
        ffprobe(file, "-count_frames", "-select_streams", "v:0", "-show_entries",
            "stream=codec_name,profile,level,width,height,nb_read_frames,avg_frame_rate,"
                + "r_frame_rate,color_space,color_range"
                + ":format=duration,format_name")) {
      int equals = line.indexOf('=');
      if (equals > 0) {
        String key = line.substring(0, equals);
        entries.put(key.startsWith("duration") || key.startsWith("format_name")
            ? "format_" + key : key, line.substring(equals + 1));
      }
    }
    return entries;
  }

  /** The presentation time in seconds of every picture ffprobe reads, in order. */
  public static List<Double> frameTimes(Path file) throws IOException, InterruptedException {
    List<Double> times = new ArrayList<>();
    for (String line :
        ffprobe(file, "-select_streams", "v:0", "-show_entries",
            "frame=best_effort_timestamp_time")) {
      if (line.startsWith("best_effort_timestamp_time=")) {
        times.add(Double.parseDouble(line.substring(line.indexOf('=') + 1)));
      }
    }
    return times;
  }

  /** The number of key-frame packets ffprobe finds in the first video stream. */
  public static int keyFrames(Path file) throws IOException, InterruptedException {
    int count = 0;
    for (String line : ffprobe(file, "-select_streams", "v:0", "-show_entries", "packet=flags")) {
      count += line.startsWith("flags=K") ? 1 : 0;
    }
    return count;
  }

  /** ffmpeg decodes the whole file, stopping at the first error: fails the test on one. */
  public static void decodesWithoutError(Path file) throws IOException, InterruptedException {
    FfmpegTool.run("-loglevel", "error", "-xerror", "-i", file.toString(), "-f", "null", "-");
  }

  /** ffmpeg's decode of a file into raw I420, every picture once (no frame rate conversion). */
  public static byte[] decode(Path file, Path output) throws IOException, InterruptedException {
    FfmpegTool.run("-loglevel", "error", "-xerror", "-i", file.toString(), "-fps_mode",
        "passthrough", "-pix_fmt", "yuv420p", "-f", "rawvideo", output.toString());
    return Files.readAllBytes(output);
  }

  /** The four-character types of a file's top-level boxes, in order (64-bit sizes read too). */
  public static List<String> topLevelBoxes(Path file) throws IOException {
    List<String> types = new ArrayList<>();
    try (FileChannel channel = FileChannel.open(file)) {
      long position = 0;
      ByteBuffer header = ByteBuffer.allocate(16);
      while (position < channel.size()) {
        header.clear();
        channel.read(header, position);
        long size = header.getInt(0) & 0xFFFFFFFFL;
        types.add(new String(header.array(), 4, 4, StandardCharsets.ISO_8859_1));
        if (size == 1) {
          size = header.getLong(8);
        }
        assertTrue(size >= 8, "box size " + size + " at " + position);
        position += size;
      }
      assertTrue(position == channel.size(), "the last box runs past the end of the file");
    }
    return types;
  }

  /** Encodes a moving pattern, an IDR picture every {@code intraPeriod} pictures. */
  public static List<EncodedFrame> encode(int width, int height, int count, int intraPeriod) {
    List<EncodedFrame> frames = new ArrayList<>();
    EncoderConfig config = new EncoderConfig().setIntraPeriod(intraPeriod).setEnableFrameSkip(false);
    try (H264Encoder encoder = new H264Encoder(config)) {
      for (int i = 0; i < count; i++) {
        EncodedFrame frame = encoder.encode(pattern(width, height, i));
        if (frame == null) {
          fail("the encoder skipped picture " + i);
        }
        frames.add(frame);
      }
    }
    return frames;
  }

  /** A picture whose blocks move with the index. */
  public static I420Picture pattern(int width, int height, int index) {
    I420Picture picture = I420Picture.allocate(width, height);
    byte[] data = picture.plane(I420Picture.Y);
    for (int y = 0; y < height; y++) {
      for (int x = 0; x < width; x++) {
        data[y * width + x] = (byte) ((((x + 4 * index) / 16 + y / 16) % 2) * 160 + 40);
      }
    }
    int chroma = picture.chromaWidth() * picture.chromaHeight();
    for (int i = 0; i < 2 * chroma; i++) {
      data[width * height + i] = (byte) (96 + (i + index) % 64);
    }
    return picture;
  }

  /** The duration in seconds GStreamer's discoverer gives the file. */
  public static double gstreamerDuration(Path file) throws IOException, InterruptedException {
    List<String> command = List.of("gst-discoverer-1.0", file.toString());
    Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
    String output = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    if (!process.waitFor(2, TimeUnit.MINUTES) || process.exitValue() != 0) {
      fail("gst-discoverer-1.0 failed: " + command + "\n" + output);
    }
    // "Duration: 0:00:01.240000000"
    for (String line : output.lines().toList()) {
      String trimmed = line.trim();
      if (trimmed.startsWith("Duration: ")) {
        String[] parts = trimmed.substring(10).split(":");
        return Integer.parseInt(parts[0]) * 3600 + Integer.parseInt(parts[1]) * 60
            + Double.parseDouble(parts[2]);
      }
    }
    return fail("gst-discoverer-1.0 gave no duration:\n" + output);
  }

  private static List<String> ffprobe(Path file, String... arguments)
      throws IOException, InterruptedException {
    List<String> command = new ArrayList<>(List.of("ffprobe", "-v", "error"));
    command.addAll(List.of(arguments));
    command.addAll(List.of("-of", "default=noprint_wrappers=1", file.toString()));
    Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
    String output = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    if (!process.waitFor(2, TimeUnit.MINUTES) || process.exitValue() != 0) {
      fail("ffprobe failed: " + command + "\n" + output);
    }
    return output.lines().toList();
  }
}
