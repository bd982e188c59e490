package tq.brindlecast.openh264.bench;

import java.io.IOException;
import java.util.List;
import tq.brindlecast.openh264.DecodedPicture;
import tq.brindlecast.openh264.DecoderConfig;
import tq.brindlecast.openh264.H264Decoder;
import tq.brindlecast.openh264.Native;

/**
 * Decoding through the natives and through {@link H264Decoder}, one call per access unit and a
 * drain at the end of each pass.
 */
final class DecodeSides {
  private DecodeSides() {}

  /** Decodes through {@link Native}, reusing its out-arrays from call to call. */
  static final class ThroughNative implements BenchSide {
    private final long handle;
    private final List<byte[]> units;
    private final int[] width = new int[1];
    private final int[] height = new int[1];
    private final int[] strides = new int[3];
    private final int[] planeSizes = new int[3];
    private final int[] planeCount = new int[1];

    ThroughNative(List<byte[]> units) {
      this.units = units;
      handle = Native.OpenH264TQDecoderCreate(null, null, null, null);
      if (Native.OpenH264TQDecoderSetConfig(handle, new DecoderConfig()) != 0) {
        throw new IllegalStateException("OpenH264TQDecoderSetConfig failed");
      }
    }

    @Override
    public String name() {
      return "jni";
    }

    @Override
    public int pass(OutputSink sink) throws IOException {
      int decoded = 0;
      for (byte[] unit : units) {
        decoded += take(decode(unit), sink);
      }
      int drained;
      while ((drained = take(decode(null), sink)) > 0) {
        decoded += drained;
      }
      return decoded;
    }

    private byte[] decode(byte[] unit) {
      return Native.OpenH264TQDecoderDecode(
          handle, unit, unit == null ? 0 : unit.length, width, height, strides, planeSizes,
          planeCount);
    }

    private int take(byte[] yuv, OutputSink sink) throws IOException {
      if (yuv == null) {
        return 0;
      }
      if (sink != null) {
        writeCropped(yuv, sink);
      }
      return 1;
    }

    private void writeCropped(byte[] yuv, OutputSink sink) throws IOException {
      int w = width[0];
      int h = height[0];
      int[] starts = {0, planeSizes[0], planeSizes[0] + planeSizes[1]};
      for (int plane = 0; plane < 3; plane++) {
        int rowWidth = plane == 0 ? w : (w + 1) / 2;
        int rows = plane == 0 ? h : h / 2;
        for (int row = 0; row < rows; row++) {
          sink.add(yuv, starts[plane] + row * strides[plane], rowWidth);
        }
      }
    }

    @Override
    public void close() {
      Native.OpenH264TQDecoderDestroy(handle);
    }
  }

  /**
   * Decodes through {@link H264Decoder#decode(byte[])} and {@link H264Decoder#drain()}, or with
   * {@code reuse} through {@link H264Decoder#decode(byte[], int, int, byte[])}, handing each
   * picture's array back for the next.
   */
  static final class ThroughApi implements BenchSide {
    private final H264Decoder decoder = new H264Decoder();
    private final List<byte[]> units;
    private final boolean reuse;
    private byte[] output;

    ThroughApi(List<byte[]> units, boolean reuse) {
      this.units = units;
      this.reuse = reuse;
    }

    @Override
    public String name() {
      return reuse ? "api-reuse" : "api";
    }

    @Override
    public int pass(OutputSink sink) throws IOException {
      int decoded = 0;
      for (byte[] unit : units) {
        DecodedPicture picture =
            reuse ? decoder.decode(unit, 0, unit.length, output) : decoder.decode(unit);
        decoded += take(picture, sink);
      }
      int drained;
      while ((drained = take(decoder.drain(), sink)) > 0) {
        decoded += drained;
      }
      return decoded;
    }

    private int take(DecodedPicture picture, OutputSink sink) throws IOException {
      if (picture == null) {
        return 0;
      }
      if (reuse) {
        output = picture.data();
      }
      if (sink != null) {
        byte[] packed = picture.toPackedI420();
        sink.add(packed, 0, packed.length);
      }
      return 1;
    }

    @Override
    public void close() {
      decoder.close();
    }
  }
}
