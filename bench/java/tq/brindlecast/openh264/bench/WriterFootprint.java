package tq.brindlecast.openh264.bench;

import java.awt.image.BufferedImage;
import java.awt.image.DataBufferInt;
import java.io.IOException;
import java.io.RandomAccessFile;
import java.lang.management.ManagementFactory;
import java.lang.management.MemoryMXBean;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Locale;
import java.util.Map;
import java.util.TreeMap;
import tq.brindlecast.openh264.video.VideoWriter;

/**
 * What writing a long video costs besides time: the bytes the process writes per byte of media
 * data in the MP4 file (from {@code /proc/self/io}: {@code wchar} counts every byte handed to
 * {@code write}, {@code write_bytes} what went to the storage layer), and the process's resident
 * memory and the Java heap in use after a full collection at checkpoints, while one {@link
 * VideoWriter} writes many small pictures. Run with {@code -Xms} equal to {@code -Xmx} and
 * {@code -XX:+AlwaysPreTouch}, so that the heap is resident from the start and a growing RSS means
 * growing memory outside it.
 *
 * <p>Usage: {@code WriterFootprint --size WxH --pictures N --every K --work DIR}
 */
public final class WriterFootprint {
  private static final double FPS = 30;

  private WriterFootprint() {}

  public static void main(String[] args) throws IOException {
    Map<String, String> options = new TreeMap<>();
    for (int i = 0; i + 1 < args.length; i += 2) {
      options.put(args[i].replaceFirst("^--", ""), args[i + 1]);
    }
    String[] size = options.getOrDefault("size", "320x240").split("x");
    int width = Integer.parseInt(size[0]);
    int height = Integer.parseInt(size[1]);
    int pictures = Integer.parseInt(options.getOrDefault("pictures", "10000"));
    int every = Integer.parseInt(options.getOrDefault("every", "1000"));
    Path file = Path.of(options.getOrDefault("work", ".")).resolve("footprint.mp4");
    MemoryMXBean memory = ManagementFactory.getMemoryMXBean();

    BufferedImage image = new BufferedImage(width, height, BufferedImage.TYPE_INT_RGB);
    int[] pixels = ((DataBufferInt) image.getRaster().getDataBuffer()).getData();
    Map<String, Long> ioBefore = io();
    System.out.printf(Locale.ROOT, "%dx%d, %d pictures, one VideoWriter at its defaults%n",
        width, height, pictures);
    System.out.printf(Locale.ROOT, "%9s %10s %14s%n", "pictures", "RSS (MiB)", "heap used (MiB)");
    checkpoint(0, memory);
    try (VideoWriter video = VideoWriter.toMp4(file, width, height, FPS)) {
      for (int n = 1; n <= pictures; n++) {
        paint(pixels, width, height, n);
        video.write(image);
        if (n % every == 0) {
          checkpoint(n, memory);
        }
      }
      video.finish();
    }
    Map<String, Long> ioAfter = io();
    long media = mdatPayload(file);
    long fileSize = Files.size(file);
    System.out.printf(Locale.ROOT, "file %d bytes, media data %d bytes%n", fileSize, media);
    for (String key : new String[] {"wchar", "write_bytes", "rchar", "read_bytes"}) {
      long bytes = ioAfter.get(key) - ioBefore.get(key);
      System.out.printf(Locale.ROOT, "%-12s %12d bytes, %.3f per media byte%n", key, bytes,
          bytes / (double) media);
    }
    Files.delete(file);
  }

  /** A moving diagonal pattern with noise, so that every picture has new content to encode. */
  private static void paint(int[] pixels, int width, int height, int n) {
    long seed = n * 0x9E3779B97F4A7C15L;
    for (int y = 0; y < height; y++) {
      for (int x = 0; x < width; x++) {
        seed = seed * 6364136223846793005L + 1442695040888963407L;
        int noise = (int) (seed >>> 60);
        int value = (x + y + 3 * n) & 0xFF;
        pixels[y * width + x] = ((value + noise) & 0xFF) << 16 | ((x * 2 + n) & 0xFF) << 8
            | ((y * 2 - n) & 0xFF);
      }
    }
  }

  private static void checkpoint(int pictures, MemoryMXBean memory) throws IOException {
    System.gc();
    long heap = memory.getHeapMemoryUsage().getUsed();
    System.out.printf(Locale.ROOT, "%9d %10.1f %14.2f%n", pictures, rssKib() / 1024.0,
        heap / 1048576.0);
  }

  private static long rssKib() throws IOException {
    for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
      if (line.startsWith("VmRSS:")) {
        return Long.parseLong(line.replaceAll("[^0-9]", ""));
      }
    }
    throw new IOException("no VmRSS in /proc/self/status");
  }

  private static Map<String, Long> io() throws IOException {
    Map<String, Long> counters = new TreeMap<>();
    for (String line : Files.readAllLines(Path.of("/proc/self/io"))) {
      String[] parts = line.split(":\\s*");
      counters.put(parts[0], Long.parseLong(parts[1].trim()));
    }
    return counters;
  }

  /** The bytes inside the file's top-level {@code mdat} box. */
  private static long mdatPayload(Path file) throws IOException {
    try (RandomAccessFile in = new RandomAccessFile(file.toFile(), "r")) {
      long at = 0;
      while (at + 8 <= in.length()) {
        in.seek(at);
        long size = in.readInt() & 0xFFFFFFFFL;
        int type = in.readInt();
        int header = 8;
        if (size == 1) {
          size = in.readLong();
          header = 16;
        }
        if (type == 0x6D646174) { // "mdat"
          return size - header;
        }
        at += size;
      }
    }
    throw new IOException("no mdat box in " + file);
  }
}
