package tq.brindlecast.openh264.tool;

import java.io.IOException;
import java.io.InputStream;
import java.util.Set;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;

/** Opens the pictures to encode: a Y4M file, a raw I420 file, or the built-in test pattern. */
final class Sources {
  static final Set<String> OPTIONS = Set.of("size", "fps", "frames");

  static final String USAGE =
      """
        INPUT               a Y4M file, or raw I420 with --size; - reads standard input;
                            none: the built-in test pattern
        --size WxH          picture size of raw I420 input and of the pattern, even sides
                            (default 1280x720)
        --fps F             frame rate of raw input and of the pattern, or to override a Y4M
                            file's (default 30); 30000/1001 or 29.97 for NTSC
        --frames N          pictures of the pattern (default 120), or at most N from a file
      """;

  static final int PATTERN_FRAMES = 120;

  private Sources() {}

  /**
   * Opens the source named by the first positional argument, or the test pattern without one.
   *
   * @throws UsageException if the options do not fit the input
   * @throws IOException if the file cannot be opened or has no valid header
   */
  static PictureSource open(Options options, ToolOutput output)
      throws UsageException, IOException {
    String input = options.positional(0);
    Options.Size size = options.size("size", H264Encoder.MIN_SIZE);
    double fps = options.rate("fps", 30, 1000);
    int frames = options.integer("frames", -1, 1, Integer.MAX_VALUE);
    if (input == null) {
      Options.Size patternSize = size != null ? size : new Options.Size(1280, 720);
      return new TestPattern(
          patternSize.width(), patternSize.height(), frames > 0 ? frames : PATTERN_FRAMES, fps);
    }
    InputStream in = ToolFiles.openInput(input, output);
    PictureSource source;
    String name = input.equals(ToolFiles.STDIO) ? "standard input" : input;
    if (Y4mReader.isY4m(in)) {
      if (size != null) {
        in.close();
        throw new UsageException("--size is for raw I420 input; " + name + " is a Y4M file");
      }
      source = new Y4mReader(in, name);
      if (options.has("fps")) {
        source = withFps(source, fps);
      }
    } else {
      if (size == null) {
        in.close();
        throw new UsageException(
            name + " is not a Y4M file; for raw I420 input give its --size WxH");
      }
      source = new RawI420Reader(in, name, size.width(), size.height(), fps);
    }
    return frames > 0 ? limit(source, frames) : source;
  }

  private static PictureSource withFps(PictureSource source, double fps) {
    PictureFormat format = source.format().withFps(fps);
    return new Wrapped(source) {
      @Override
      public PictureFormat format() {
        return format;
      }
    };
  }

  private static PictureSource limit(PictureSource source, int frames) {
    return new Wrapped(source) {
      private int read;

      @Override
      public I420Picture next() throws IOException {
        if (read >= frames) {
          return null;
        }
        I420Picture picture = source.next();
        if (picture != null) {
          read++;
        }
        return picture;
      }
    };
  }

  /** Passes every call through to another source. */
  private static class Wrapped implements PictureSource {
    final PictureSource source;

    Wrapped(PictureSource source) {
      this.source = source;
    }

    @Override
    public PictureFormat format() {
      return source.format();
    }

    @Override
    public String description() {
      return source.description();
    }

    @Override
    public java.util.List<String> warnings() {
      return source.warnings();
    }

    @Override
    public I420Picture next() throws IOException {
      return source.next();
    }

    @Override
    public void close() throws IOException {
      source.close();
    }
  }
}
