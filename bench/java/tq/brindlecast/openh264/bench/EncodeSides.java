package tq.brindlecast.openh264.bench;

import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import tq.brindlecast.openh264.EncoderConfig;
import tq.brindlecast.openh264.H264Encoder;
import tq.brindlecast.openh264.I420Picture;
import tq.brindlecast.openh264.Native;
import tq.brindlecast.openh264.RateControlMode;
import tq.brindlecast.openh264.SpatialLayerConfig;
import tq.brindlecast.openh264.bitstream.EncodedFrame;

/** Encoding through the natives and through {@link H264Encoder}, with the same settings. */
final class EncodeSides {
  private EncodeSides() {}

  /** The fixed settings: bit-rate control at a fixed rate, no frame skipping, one thread. */
  static EncoderConfig config() {
    return new EncoderConfig()
        .setRcMode(RateControlMode.BITRATE)
        .setEnableFrameSkip(false)
        .setMultipleThreadIdc(1);
  }

  /** Encodes through {@link Native}, each picture's planes in three arrays of their own. */
  static final class ThroughNative implements BenchSide {
    private final long handle;
    private final int width;
    private final int height;
    private final List<byte[][]> planes = new ArrayList<>();
    private final int[] strides;
    private final int[] offsets = new int[3];
    private final int[] frameSize = new int[1];

    ThroughNative(BenchOptions options, List<byte[]> pictures) {
      width = options.width();
      height = options.height();
      strides = new int[] {width, width / 2, width / 2, 0};
      for (byte[] packed : pictures) {
        planes.add(splitPlanes(packed, width, height));
      }
      handle = Native.OpenH264TQEncoderCreate(null, null, null, null);
      EncoderConfig config = config();
      check(Native.OpenH264TQEncoderSetConfig(handle, config), "SetConfig");
      SpatialLayerConfig layer = new SpatialLayerConfig().setFrameRate(config.getMaxFrameRate());
      check(Native.OpenH264TQEncoderSetSpatialLayerConfig(handle, layer, 0), "SetLayerConfig");
      Native.OpenH264TQEncoderSetBitrate(handle, options.bitrate());
    }

    @Override
    public String name() {
      return "jni";
    }

    @Override
    public int pass(OutputSink sink) throws IOException {
      int produced = 0;
      for (byte[][] picture : planes) {
        byte[] frame =
            Native.OpenH264TQEncoderEncodei420(
                handle, width, height, picture, strides, offsets, 0L, frameSize);
        if (frame != null) {
          produced++;
          if (sink != null) {
            sink.add(frame, 0, frameSize[0]);
          }
        }
      }
      return produced;
    }

    @Override
    public void close() {
      Native.OpenH264TQEncoderDestroy(handle);
    }
  }

  /**
   * Encodes through {@link H264Encoder}: "api" with each picture wrapped by {@link
   * I420Picture#fromPacked}, "api-planes" with its planes in three arrays of their own, as the
   * "jni" side has them.
   */
  static final class ThroughApi implements BenchSide {
    private final H264Encoder encoder;
    private final List<I420Picture> pictures = new ArrayList<>();
    private final boolean separatePlanes;

    ThroughApi(BenchOptions options, List<byte[]> packed, boolean separatePlanes) {
      this.separatePlanes = separatePlanes;
      int width = options.width();
      int height = options.height();
      for (byte[] data : packed) {
        if (separatePlanes) {
          byte[][] planes = splitPlanes(data, width, height);
          pictures.add(
              I420Picture.ofPlanes(
                  width, height, planes[0], width, planes[1], width / 2, planes[2], width / 2));
        } else {
          pictures.add(I420Picture.fromPacked(data, width, height));
        }
      }
      encoder = new H264Encoder(config());
      encoder.setBitrate(options.bitrate());
    }

    @Override
    public String name() {
      return separatePlanes ? "api-planes" : "api";
    }

    @Override
    public int pass(OutputSink sink) throws IOException {
      int produced = 0;
      for (I420Picture picture : pictures) {
        EncodedFrame frame = encoder.encode(picture);
        if (frame != null) {
          produced++;
          if (sink != null) {
            sink.add(frame.data(), 0, frame.size());
          }
        }
      }
      return produced;
    }

    @Override
    public void close() {
      encoder.close();
    }
  }

  private static byte[][] splitPlanes(byte[] packed, int width, int height) {
    int ySize = width * height;
    int cSize = ySize / 4;
    byte[][] planes = {new byte[ySize], new byte[cSize], new byte[cSize]};
    System.arraycopy(packed, 0, planes[0], 0, ySize);
    System.arraycopy(packed, ySize, planes[1], 0, cSize);
    System.arraycopy(packed, ySize + cSize, planes[2], 0, cSize);
    return planes;
  }

  private static void check(int code, String call) {
    if (code != 0) {
      throw new IllegalStateException(call + " failed with " + code);
    }
  }
}
