package tq.brindlecast.openh264.bench;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.image.ImageConversions;
import tq.brindlecast.openh264.video.Picture;
import tq.brindlecast.openh264.video.VideoReader;
import tq.brindlecast.openh264.video.VideoWriter;

/**
 * The whole way between {@link BufferedImage}s and an MP4 file, as an application goes: images
 * through {@link VideoWriter} at its defaults into a new file each pass, and an MP4 file through
 * {@link VideoReader} and {@link ImageConversions#toImage} into images, every picture in display
 * order.
 */
final class ImageSides {
  private static final double FPS = 30;

  private ImageSides() {}

  /**
   * "image-mp4" ({@code TYPE_INT_RGB}) and "image-bgr-mp4" ({@code TYPE_3BYTE_BGR}, as ImageIO
   * reads JPEG): the pictures made into images once, written by a new writer every pass. Without
   * images, "i420-mp4": the packed I420 pictures themselves through the same writer, which
   * tells the conversion's share from the rest.
   */
  static final class ToMp4 implements BenchSide {
    private final List<BufferedImage> images = new ArrayList<>();
    private final List<I420Picture> i420 = new ArrayList<>();
    private final boolean bgr;
    private final boolean fromImages;
    private final int width;
    private final int height;
    private final Path folder;
    private final Path file;

    ToMp4(BenchOptions options, List<byte[]> pictures, boolean fromImages, boolean bgr) {
      this.bgr = bgr;
      this.fromImages = fromImages;
      width = options.width();
      height = options.height();
      for (byte[] packed : pictures) {
        if (!fromImages) {
          i420.add(I420Picture.fromPacked(packed, width, height));
          continue;
        }
        BufferedImage image = ImageConversions.toImage(I420Picture.fromPacked(packed, width,
            height));
        if (bgr) {
          BufferedImage converted = new BufferedImage(width, height, BufferedImage.TYPE_3BYTE_BGR);
          converted.getGraphics().drawImage(image, 0, 0, null);
          image = converted;
        }
        images.add(image);
      }
      try {
        folder = Files.createTempDirectory("tq-bench-images");
      } catch (IOException cannotCreate) {
        throw new UncheckedIOException(cannotCreate);
      }
      file = folder.resolve("video.mp4");
    }

    @Override
    public String name() {
      return !fromImages ? "i420-mp4" : bgr ? "image-bgr-mp4" : "image-mp4";
    }

    @Override
    public int pass(OutputSink sink) throws IOException {
      try (VideoWriter video = VideoWriter.toMp4(file, width, height, FPS)) {
        for (BufferedImage image : images) {
          video.write(image);
        }
        for (I420Picture picture : i420) {
          video.write(picture);
        }
        video.finish();
      }
      return images.size() + i420.size();
    }

    @Override
    public void close() {
      try {
        Files.deleteIfExists(file);
        Files.deleteIfExists(folder);
      } catch (IOException ignored) {
        // A file left in the temporary folder harms nothing.
      }
    }
  }

  /**
   * "mp4-images": the MP4 file read again every pass, every picture made into a new image from
   * its planes. "mp4-images-new": the same through {@code VideoReader.nextImage(null)}, the
   * decoder converting into a new image. "mp4-images-reuse": {@code nextImage} handed the previous
   * image back.
   */
  static final class FromMp4 implements BenchSide {
    private final Path file;
    private final String name;

    FromMp4(Path file, String name) {
      if (file == null) {
        throw new IllegalArgumentException(name + " needs --mp4 FILE");
      }
      this.file = file;
      this.name = name;
    }

    @Override
    public String name() {
      return name;
    }

    @Override
    public int pass(OutputSink sink) throws IOException {
      int images = 0;
      try (VideoReader reader = VideoReader.open(file)) {
        if (name.equals("mp4-images")) {
          for (Picture picture : reader) {
            BufferedImage image = ImageConversions.toImage(picture.decoded());
            images += image.getWidth() > 0 ? 1 : 0;
          }
          return images;
        }
        boolean reuse = name.equals("mp4-images-reuse");
        BufferedImage last = null;
        for (BufferedImage image; (image = reader.nextImage(reuse ? last : null)) != null; ) {
          images += image.getWidth() > 0 ? 1 : 0;
          last = image;
        }
      }
      return images;
    }

    @Override
    public void close() {}
  }
}
