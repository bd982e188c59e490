package tq.brindlecast.openh264.mp4;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.TimeUnit;
import java.util.function.IntPredicate;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.FfmpegTool;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.bitstream.NalUnit;

/** MP4 files made by ffmpeg, what ffmpeg and ffprobe make of them, and a box walker for edits. */
final class Mp4TestFiles {
  static final int WIDTH = 160;
  static final int HEIGHT = 120;
  static final int FRAMES = 40;

  private static final Set<String> CONTAINERS =
      Set.of("moov", "trak", "mdia", "minf", "stbl", "edts", "mvex", "moof", "traf");

  private Mp4TestFiles() {}

  /** A box found in a file: type, where it starts, header length, where it ends. */
  record Box(String type, int start, int headerLength, int end) {
    int payload() {
      return start + headerLength;
    }
  }

  /**
   * Makes {@code name}.mp4 from FRAMES pictures of ffmpeg's moving test pattern, encoded by
   * libx264 with the options given (before them: extra inputs, when the first option is
   * "-f").
   */
  static Path ffmpeg(Path dir, String name, String... options)
      throws IOException, InterruptedException {
    Path mp4 = dir.resolve(name + ".mp4");
    List<String> arguments =
        new ArrayList<>(
            List.of("-loglevel", "error", "-f", "lavfi",
                "-i", "testsrc2=size=" + WIDTH + "x" + HEIGHT + ":rate=30"));
    arguments.addAll(List.of(options));
    arguments.addAll(List.of("-frames:v", String.valueOf(FRAMES), mp4.toString()));
    FfmpegTool.run(arguments.toArray(new String[0]));
    return mp4;
  }

  /** ffprobe's video packets in file (decode) order: {pts in seconds, 1 if a key frame}. */
  static List<double[]> probePackets(Path mp4) throws IOException, InterruptedException {
    String csv =
        runTool("ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
            "packet=pts_time,flags", "-of", "csv=p=0", mp4.toString());
    List<double[]> packets = new ArrayList<>();
    for (String line : csv.split("\n")) {
      if (!line.isBlank()) {
        String[] fields = line.trim().split(",");
        packets.add(
            new double[] {Double.parseDouble(fields[0]), fields[1].startsWith("K") ? 1 : 0});
      }
    }
    return packets;
  }

  /** ffmpeg's own decode of the file's video, packed I420 pictures in presentation order. */
  static List<byte[]> ffmpegPictures(Path mp4, String... before)
      throws IOException, InterruptedException {
    Path raw = Files.createTempFile(mp4.getParent(), "ffmpeg", ".yuv");
    try {
      List<String> arguments = new ArrayList<>(List.of("-loglevel", "error"));
      arguments.addAll(List.of(before));
      arguments.addAll(List.of("-i", mp4.toString(), "-map", "0:v", "-vsync", "passthrough",
          "-pix_fmt", "yuv420p", "-f", "rawvideo", raw.toString()));
      FfmpegTool.run(arguments.toArray(new String[0]));
      return split(Files.readAllBytes(raw));
    } finally {
      Files.deleteIfExists(raw);
    }
  }

  /**
   * Decodes every sample in decode order, drains, and keeps the pictures the track shows, in
   * presentation order.
   */
  static List<byte[]> decodeShown(Mp4Reader reader) throws IOException {
    Mp4Track track = reader.videoTrack();
    List<byte[]> out = decodeAll(reader);
    assertEquals(track.sampleCount(), out.size(), "one picture per sample");
    List<Mp4Sample> byTime = new ArrayList<>();
    for (int i = 0; i < track.sampleCount(); i++) {
      byTime.add(track.sample(i));
    }
    byTime.sort(Comparator.comparingLong(Mp4Sample::presentationTime));
    List<byte[]> shown = new ArrayList<>();
    for (int i = 0; i < out.size(); i++) {
      if (byTime.get(i).presentationTime() >= 0) {
        shown.add(out.get(i));
      }
    }
    return shown;
  }

  /**
   * Every picture the decoder gives for the samples in decode order, drained before each sync
   * sample as well (OpenH264 2.1 and 2.2 mishandle a picture held back when an IDR comes).
   */
  static List<byte[]> decodeAll(Mp4Reader reader) throws IOException {
    Mp4Track track = reader.videoTrack();
    List<byte[]> out = new ArrayList<>();
    try (H264Decoder decoder = new H264Decoder()) {
      for (int i = 0; i < track.sampleCount(); i++) {
        if (i > 0 && track.sample(i).sync()) {
          drain(decoder, out);
          decoder.reconfigure(decoder.getConfig());
        }
        add(out, decoder.decode(reader.readSample(i)));
      }
      drain(decoder, out);
    }
    return out;
  }

  private static void drain(H264Decoder decoder, List<byte[]> out) {
    while (add(out, decoder.drain())) {
      // the pictures held back
    }
  }

  /**
   * The samples {@code first} to {@code last} that are shown before a sample decoded earlier:
   * the B pictures of a stream without B-pyramid.
   */
  static int reorderedSamples(Mp4Track track, int first, int last) {
    int count = 0;
    long latest = Long.MIN_VALUE;
    for (int i = Math.max(0, first); i <= last; i++) {
      long shown = track.sample(i).presentationTime();
      if (shown < latest) {
        count++;
      }
      latest = Math.max(latest, shown);
    }
    return count;
  }

  private static boolean add(List<byte[]> out, DecodedPicture picture) {
    if (picture != null) {
      out.add(picture.toPackedI420());
    }
    return picture != null;
  }

  static List<byte[]> split(byte[] raw) {
    int size = WIDTH * HEIGHT * 3 / 2;
    List<byte[]> pictures = new ArrayList<>();
    for (int offset = 0; offset + size <= raw.length; offset += size) {
      pictures.add(Arrays.copyOfRange(raw, offset, offset + size));
    }
    return pictures;
  }

  /** Every box of the file, nested ones included, in file order. */
  static List<Box> boxes(byte[] file) {
    List<Box> found = new ArrayList<>();
    walk(file, 0, file.length, found);
    return found;
  }

  /** The first box of that type. */
  static Box find(byte[] file, String type) {
    return boxes(file).stream()
        .filter(box -> box.type().equals(type))
        .findFirst()
        .orElseThrow(() -> new AssertionError("no " + type + " box"));
  }

  private static void walk(byte[] file, int from, int to, List<Box> found) {
    int position = from;
    while (position + 8 <= to) {
      long size = u32(file, position);
      int header = size == 1 ? 16 : 8;
      long end = size == 1 ? position + s64(file, position + 8) : size == 0 ? to : position + size;
      String type = new String(file, position + 4, 4, StandardCharsets.ISO_8859_1);
      Box box = new Box(type, position, header, (int) end);
      found.add(box);
      if (CONTAINERS.contains(type)) {
        walk(file, box.payload(), box.end(), found);
      } else if (type.equals("stsd")) {
        walk(file, box.payload() + 8, box.end(), found);
      } else if (type.equals("avc1") || type.equals("avc3")) {
        walk(file, box.payload() + 78, box.end(), found);
      }
      position = box.end();
    }
  }

  static long u32(byte[] data, int at) {
    return ((data[at] & 0xFFL) << 24) | ((data[at + 1] & 0xFF) << 16)
        | ((data[at + 2] & 0xFF) << 8) | (data[at + 3] & 0xFF);
  }

  static long s64(byte[] data, int at) {
    return u32(data, at) << 32 | u32(data, at + 4);
  }

  static void putU32(byte[] data, int at, long value) {
    for (int i = 0; i < 4; i++) {
      data[at + i] = (byte) (value >>> (24 - 8 * i));
    }
  }

  static void putS64(byte[] data, int at, long value) {
    putU32(data, at, value >>> 32);
    putU32(data, at + 4, value);
  }

  /**
   * Rewrites a file whose moov comes last so that its stco becomes a co64 with the same offsets
   * (a moov that grows at the end of the file moves no sample).
   */
  static byte[] withCo64(byte[] file) {
    Box stco = find(file, "stco");
    int count = (int) u32(file, stco.payload() + 4);
    byte[] co64 = new byte[16 + 8 * count];
    putU32(co64, 12, count);
    for (int i = 0; i < count; i++) {
      putS64(co64, 16 + 8 * i, u32(file, stco.payload() + 8 + 4 * i));
    }
    return replaceInLastMoov(file, stco, "co64", co64);
  }

  /** Rewrites a file whose moov comes last so that its stsz becomes an stz2 of 16-bit sizes. */
  static byte[] withStz2(byte[] file) {
    Box stsz = find(file, "stsz");
    int count = (int) u32(file, stsz.payload() + 8);
    byte[] stz2 = new byte[20 + 2 * count];
    stz2[15] = 16;
    putU32(stz2, 16, count);
    for (int i = 0; i < count; i++) {
      long size = u32(file, stsz.payload() + 12 + 4 * i);
      stz2[20 + 2 * i] = (byte) (size >> 8);
      stz2[21 + 2 * i] = (byte) size;
    }
    return replaceInLastMoov(file, stsz, "stz2", stz2);
  }

  /**
   * Rewrites a file whose moov comes last so that its avc1 entry ends with the 4-byte zero
   * terminator QuickTime writers ({@code qtmux}) put after a sample entry's boxes.
   */
  static byte[] withSampleEntryTerminator(byte[] file) {
    Box avc1 = find(file, "avc1");
    byte[] entry = Arrays.copyOfRange(file, avc1.start(), avc1.end() + 4);
    Arrays.fill(entry, entry.length - 4, entry.length, (byte) 0);
    return replaceInLastMoov(file, avc1, "avc1", entry);
  }

  /** Puts a new box (its header left for this to fill) in place of one in a moov at the end. */
  private static byte[] replaceInLastMoov(byte[] file, Box old, String type, byte[] box) {
    if (find(file, "moov").end() != file.length) {
      fail("the moov box must come last");
    }
    putU32(box, 0, box.length);
    System.arraycopy(type.getBytes(StandardCharsets.ISO_8859_1), 0, box, 4, 4);
    int growth = box.length - (old.end() - old.start());
    byte[] out = new byte[file.length + growth];
    System.arraycopy(file, 0, out, 0, old.start());
    System.arraycopy(box, 0, out, old.start(), box.length);
    System.arraycopy(file, old.end(), out, old.start() + box.length, file.length - old.end());
    for (Box parent : boxes(file)) {
      if (parent.start() < old.start() && parent.end() >= old.end()) {
        putU32(out, parent.start(), u32(file, parent.start()) + growth);
      }
    }
    return out;
  }

  /**
   * Rewrites a file whose mdat comes before its moov so that its NAL units have two-byte lengths
   * instead of four: the samples shrink, and stsz, stco and avcC follow.
   */
  static byte[] withTwoByteLengths(byte[] file) throws IOException {
    return rewriteSamples(file, 2, type -> true);
  }

  /** The same file without the picture parameter sets its samples carry (avcC keeps them). */
  static byte[] withoutInBandPps(byte[] file) throws IOException {
    return rewriteSamples(file, 4, type -> type != NalUnit.TYPE_PPS);
  }

  /**
   * Rewrites the samples of a file whose mdat comes before its moov: NAL units with lengths of
   * the given size, only those whose type {@code keep} accepts. stsz, stco and avcC follow.
   */
  private static byte[] rewriteSamples(byte[] file, int lengthSize, IntPredicate keep)
      throws IOException {
    Box mdat = find(file, "mdat");
    Box moov = find(file, "moov");
    if (moov.start() < mdat.end()) {
      fail("the mdat box must come first");
    }
    ByteArrayOutputStream media = new ByteArrayOutputStream();
    Map<Long, Long> moved = new HashMap<>();
    List<Integer> sizes = new ArrayList<>();
    try (Mp4Reader reader = Mp4Reader.of(file)) {
      for (int i = 0; i < reader.videoTrack().sampleCount(); i++) {
        Mp4Sample sample = reader.videoTrack().sample(i);
        moved.put(sample.offset(), (long) mdat.payload() + media.size());
        int start = media.size();
        for (int at = (int) sample.offset(); at < sample.offset() + sample.size(); ) {
          int length = (int) u32(file, at);
          if (keep.test(NalUnit.typeOf(file[at + 4]))) {
            for (int shift = 8 * (lengthSize - 1); shift >= 0; shift -= 8) {
              media.write(length >> shift);
            }
            media.write(file, at + 4, length);
          }
          at += 4 + length;
        }
        sizes.add(media.size() - start);
      }
    }
    byte[] moovBytes = Arrays.copyOfRange(file, moov.start(), moov.end());
    Box stsz = find(file, "stsz");
    for (int i = 0; i < sizes.size(); i++) {
      putU32(moovBytes, stsz.payload() + 12 + 4 * i - moov.start(), sizes.get(i));
    }
    Box stco = find(file, "stco");
    for (int i = 0; i < u32(file, stco.payload() + 4); i++) {
      int at = stco.payload() + 8 + 4 * i;
      putU32(moovBytes, at - moov.start(), moved.get(u32(file, at)));
    }
    int lengthField = find(file, "avcC").payload() + 4 - moov.start();
    moovBytes[lengthField] = (byte) (moovBytes[lengthField] & ~3 | (lengthSize - 1));
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    out.write(file, 0, mdat.start());
    byte[] header = new byte[8];
    putU32(header, 0, 8 + media.size());
    System.arraycopy(file, mdat.start() + 4, header, 4, 4);
    out.write(header);
    media.writeTo(out);
    out.write(file, mdat.end(), moov.start() - mdat.end());
    out.write(moovBytes);
    return out.toByteArray();
  }

  /** The options of {@code first} followed by {@code more}. */
  static String[] cat(String[] first, String... more) {
    String[] all = Arrays.copyOf(first, first.length + more.length);
    System.arraycopy(more, 0, all, first.length, more.length);
    return all;
  }

  static String runTool(String... command) throws IOException, InterruptedException {
    Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
    byte[] output = process.getInputStream().readAllBytes();
    if (!process.waitFor(2, TimeUnit.MINUTES) || process.exitValue() != 0) {
      fail(Arrays.toString(command) + " failed:\n" + new String(output, StandardCharsets.UTF_8));
    }
    return new String(output, StandardCharsets.UTF_8);
  }
}
