package tq.brindlecast.openh264.bench;

import java.awt.image.BufferedImage;
import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.bitstream.EncodedFrame;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.mp4.Mp4Writer;
import tq.brindlecast.openh264.video.VideoWriter;

/**
 * What writing MP4 and converting images add to encoding, in one JVM on one thread. Each pass
 * encodes the same pictures with a new encoder (the writers' default settings) and writes them to
 * a file in the work folder; the sides take turns pass by pass, and each reports the median of
 * its passes. Times are the thread's CPU time (user and system, file writing included), which
 * other processes on a shared machine disturb far less than the wall clock; the wall-clock
 * medians are printed beside them.
 *
 * <ul>
 *   <li>{@code annexb}: I420 pictures through {@link H264Encoder}, the bytes to a file.
 *   <li>{@code mp4-file}, {@code mp4-stream}: the same, into {@link Mp4Writer#toFile} (moov first,
 *       assembled on close) or {@link Mp4Writer#toStream} (fragmented).
 *   <li>{@code image-mp4}, {@code image-bgr-mp4}: {@link BufferedImage}s of type INT_RGB or
 *       3BYTE_BGR (as ImageIO reads JPEG and PNG) through {@link VideoWriter#toMp4(Path, int, int,
 *       double)}: conversion, encoding and muxing.
 * </ul>
 *
 * <p>Then, without encoding: muxing the pictures encoded once (Annex B file against MP4 file) and
 * the conversion alone, per picture.
 *
 * <p>Usage: {@code WriterBench --size WxH --input RAW.yuv --frames N --passes P --work DIR}
 */
public final class WriterBench {
  private static final double FPS = 30;
  private static final ThreadMXBean THREADS = ManagementFactory.getThreadMXBean();

  private interface Pass {
    void run() throws IOException;
  }

  private WriterBench() {}

  public static void main(String[] args) throws IOException {
    Map<String, String> options = new LinkedHashMap<>();
    for (int i = 0; i + 1 < args.length; i += 2) {
      options.put(args[i].replaceFirst("^--", ""), args[i + 1]);
    }
    String[] size = options.getOrDefault("size", "1920x1080").split("x");
    int width = Integer.parseInt(size[0]);
    int height = Integer.parseInt(size[1]);
    int frames = Integer.parseInt(options.getOrDefault("frames", "30"));
    int passes = Integer.parseInt(options.getOrDefault("passes", "12"));
    Path work = Path.of(options.getOrDefault("work", "."));
    List<byte[]> packed =
        BenchFiles.readPictures(Path.of(options.get("input")), width, height, frames);

    List<I420Picture> pictures = new ArrayList<>();
    List<BufferedImage> images = new ArrayList<>();
    List<BufferedImage> bgrImages = new ArrayList<>();
    for (byte[] picture : packed) {
      I420Picture i420 = separatePlanes(I420Picture.fromPacked(picture, width, height));
      pictures.add(i420);
      BufferedImage image = ImageConversions.toImage(i420);
      images.add(image);
      BufferedImage bgr = new BufferedImage(width, height, BufferedImage.TYPE_3BYTE_BGR);
      bgr.getGraphics().drawImage(image, 0, 0, null);
      bgrImages.add(bgr);
    }

    Map<String, Pass> sides = new LinkedHashMap<>();
    sides.put("annexb", () -> {
      try (H264Encoder encoder = encoder(width, height);
          OutputStream out = output(work.resolve("annexb.h264"))) {
        for (I420Picture picture : pictures) {
          EncodedFrame frame = encoder.encode(picture);
          out.write(frame.data());
        }
      }
    });
    sides.put("mp4-file", () -> {
      try (H264Encoder encoder = encoder(width, height);
          Mp4Writer mp4 = Mp4Writer.toFile(work.resolve("file.mp4"), width, height, FPS)) {
        for (I420Picture picture : pictures) {
          mp4.write(encoder.encode(picture));
        }
        mp4.finish();
      }
    });
    sides.put("mp4-stream", () -> {
      try (H264Encoder encoder = encoder(width, height);
          Mp4Writer mp4 = Mp4Writer.toStream(
              Files.newOutputStream(work.resolve("stream.mp4")), width, height, FPS)) {
        for (I420Picture picture : pictures) {
          mp4.write(encoder.encode(picture));
        }
        mp4.finish();
      }
    });
    sides.put("image-mp4", () -> {
      try (VideoWriter video = VideoWriter.toMp4(work.resolve("image.mp4"), width, height, FPS)) {
        for (BufferedImage image : images) {
          video.write(image);
        }
        video.finish();
      }
    });
    sides.put("image-bgr-mp4", () -> {
      try (VideoWriter video =
          VideoWriter.toMp4(work.resolve("image-bgr.mp4"), width, height, FPS)) {
        for (BufferedImage image : bgrImages) {
          video.write(image);
        }
        video.finish();
      }
    });

    // Untimed: the JIT compiles every side's code first.
    for (int warm = 0; warm < 2; warm++) {
      for (Pass pass : sides.values()) {
        pass.run();
      }
    }
    Map<String, double[]> cpu = new LinkedHashMap<>();
    Map<String, double[]> wall = new LinkedHashMap<>();
    sides.keySet().forEach(name -> cpu.put(name, new double[passes]));
    sides.keySet().forEach(name -> wall.put(name, new double[passes]));
    for (int pass = 0; pass < passes; pass++) {
      List<String> order = new ArrayList<>(sides.keySet());
      if (pass % 2 == 1) {
        Collections.reverse(order);
      }
      for (String name : order) {
        long cpuStart = THREADS.getCurrentThreadCpuTime();
        long start = System.nanoTime();
        sides.get(name).run();
        wall.get(name)[pass] = (System.nanoTime() - start) / 1e9;
        cpu.get(name)[pass] = (THREADS.getCurrentThreadCpuTime() - cpuStart) / 1e9;
      }
    }
    double base = median(cpu.get("annexb"));
    System.out.printf(Locale.ROOT, "%dx%d, %d pictures a pass, %d passes a side (medians)%n",
        width, height, frames, passes);
    System.out.printf(Locale.ROOT, "%-14s %12s %10s %12s%n", "side", "pictures/s", "x annexb",
        "wall pict/s");
    for (String name : sides.keySet()) {
      double time = median(cpu.get(name));
      System.out.printf(Locale.ROOT, "%-14s %12.1f %10.3f %12.1f%n", name, frames / time,
          time / base, frames / median(wall.get(name)));
    }

    muxingAlone(pictures, width, height, work, passes);
    conversionAlone(images, bgrImages, width, height, passes);
  }

  /** Pictures encoded once, written again and again: Annex B against MP4, per picture. */
  private static void muxingAlone(List<I420Picture> pictures, int width, int height, Path work,
      int passes) throws IOException {
    List<EncodedFrame> frames = new ArrayList<>();
    try (H264Encoder encoder = encoder(width, height)) {
      for (I420Picture picture : pictures) {
        frames.add(encoder.encode(picture));
      }
    }
    Map<String, Pass> sides = new LinkedHashMap<>();
    sides.put("annexb", () -> {
      try (OutputStream out = output(work.resolve("mux.h264"))) {
        for (EncodedFrame frame : frames) {
          out.write(frame.data());
        }
      }
    });
    sides.put("mp4-file", () -> {
      try (Mp4Writer mp4 = Mp4Writer.toFile(work.resolve("mux.mp4"), width, height, FPS)) {
        for (EncodedFrame frame : frames) {
          mp4.write(frame);
        }
        mp4.finish();
      }
    });
    sides.put("mp4-stream", () -> {
      try (Mp4Writer mp4 = Mp4Writer.toStream(
          Files.newOutputStream(work.resolve("mux-stream.mp4")), width, height, FPS)) {
        for (EncodedFrame frame : frames) {
          mp4.write(frame);
        }
        mp4.finish();
      }
    });
    int rounds = passes * 10;
    for (Map.Entry<String, Pass> side : sides.entrySet()) {
      double[] perPicture = new double[rounds];
      for (int round = -rounds / 2; round < rounds; round++) { // the first half warms up
        long start = THREADS.getCurrentThreadCpuTime();
        side.getValue().run();
        if (round >= 0) {
          perPicture[round] = (THREADS.getCurrentThreadCpuTime() - start) / 1e3 / frames.size();
        }
      }
      System.out.printf(Locale.ROOT, "writing only, %-10s %8.1f µs a picture%n", side.getKey(),
          median(perPicture));
    }
  }

  private static void conversionAlone(List<BufferedImage> images, List<BufferedImage> bgrImages,
      int width, int height, int passes) {
    I420Picture target = separatePlanes(I420Picture.allocate(width, height));
    for (List<BufferedImage> set : List.of(images, bgrImages)) {
      int rounds = passes * 5;
      double[] perPicture = new double[rounds];
      for (int round = -rounds; round < rounds; round++) {
        long start = THREADS.getCurrentThreadCpuTime();
        for (BufferedImage image : set) {
          ImageConversions.toI420(image, target);
        }
        if (round >= 0) {
          perPicture[round] = (THREADS.getCurrentThreadCpuTime() - start) / 1e3 / set.size();
        }
      }
      System.out.printf(Locale.ROOT, "conversion only, %-10s %8.1f µs a picture%n",
          set == images ? "INT_RGB" : "3BYTE_BGR", median(perPicture));
    }
  }

  /** The encoder a {@link VideoWriter} makes by default. */
  private static H264Encoder encoder(int width, int height) {
    H264Encoder encoder = new H264Encoder(VideoWriter.defaultConfig(FPS));
    encoder.setBitrate(VideoWriter.defaultBitrate(width, height, FPS));
    return encoder;
  }

  private static OutputStream output(Path path) throws IOException {
    return new BufferedOutputStream(Files.newOutputStream(path), 1 << 16);
  }

  /** A copy with an array per plane, as the writer converts into. */
  private static I420Picture separatePlanes(I420Picture picture) {
    byte[][] planes = new byte[3][];
    int[] strides = new int[3];
    for (int plane = 0; plane < 3; plane++) {
      int rows = plane == 0 ? picture.height() : picture.chromaHeight();
      int columns = plane == 0 ? picture.width() : picture.chromaWidth();
      planes[plane] = new byte[rows * columns];
      strides[plane] = columns;
      for (int row = 0; row < rows; row++) {
        System.arraycopy(picture.plane(plane), picture.offset(plane) + row * picture.stride(plane),
            planes[plane], row * columns, columns);
      }
    }
    return I420Picture.ofPlanes(picture.width(), picture.height(), planes, strides, new int[3]);
  }

  private static double median(double[] values) {
    double[] sorted = values.clone();
    Arrays.sort(sorted);
    int n = sorted.length;
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }

}
