package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.function.Consumer;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.TestFactory;

/**
 * Every native of {@link Native} called with null, zero, negative, too-short and oversized
 * arguments: each returns its failure value, out-arrays of a failed call stay untouched, a call
 * that succeeds writes only the elements it owns, and input arrays are never written.
 */
class NativeArgumentSweepTest {
  private static final int W = 96;
  private static final int H = 64;
  private static final int SENTINEL = 0x5A5A5A5A;
  private static final long[] LONGS = {Long.MIN_VALUE, -1, 0, 1, 1L << 32, Long.MAX_VALUE};
  private static final int[] INTS = {Integer.MIN_VALUE, -1, 0, 4, Integer.MAX_VALUE};
  private static final Object[] CALLBACKS = {null, new Object(), "callback", new int[0]};

  /** A sweep gets a fresh encoder and decoder context, destroyed after it. */
  private interface Body {
    void run(long encoder, long decoder) throws Exception;
  }

  private record Sweep(List<String> natives, Body body) {}

  @TestFactory
  Stream<DynamicTest> everyNativeIsSwept() {
    List<Sweep> sweeps =
        List.of(
            new Sweep(List.of("OpenH264TQEncoderCreate", "OpenH264TQEncoderDestroy",
                "OpenH264TQDecoderCreate", "OpenH264TQDecoderDestroy"), this::createAndDestroy),
            new Sweep(List.of("OpenH264TQEncoderSetConfig", "OpenH264TQDecoderSetConfig"),
                this::setConfig),
            new Sweep(List.of("OpenH264TQEncoderSetSpatialLayerConfig"), this::layerConfig),
            new Sweep(List.of("OpenH264TQEncoderApplyConfigChanges"), this::applyConfigChanges),
            new Sweep(List.of("OpenH264TQEncoderEncodei420"), this::encode),
            new Sweep(List.of("OpenH264TQEncoderEncodeRgb"), (e, d) -> encodeRgb(e)),
            new Sweep(
                List.of("OpenH264TQEncoderGetForceKeyFrame", "OpenH264TQEncoderSetForceKeyFrame",
                    "OpenH264TQDecoderGetNeedsKeyFrame", "OpenH264TQDecoderSetNeedsKeyFrame"),
                this::storedFlags),
            new Sweep(
                List.of("OpenH264TQEncoderGetBitrate", "OpenH264TQEncoderSetBitrate",
                    "OpenH264TQEncoderSetComplexityMode"),
                this::runtimeControls),
            new Sweep(List.of("OpenH264TQDecoderDecode"), (e, d) -> decode(d, false)),
            new Sweep(List.of("OpenH264TQDecoderDecodeToRgb"), (e, d) -> decode(d, true)),
            new Sweep(
                List.of("OpenH264TQLibraryLoad", "OpenH264TQLibraryRelease",
                    "OpenH264TQLibraryFile"),
                this::openH264Library),
            new Sweep(List.of("OpenH264TQConvertToI420", "OpenH264TQConvertI420ToRgb"),
                this::conversions));
    Set<String> natives =
        Arrays.stream(Native.class.getDeclaredMethods())
            .filter(m -> Modifier.isNative(m.getModifiers()))
            .map(Method::getName)
            .collect(Collectors.toCollection(TreeSet::new));
    Set<String> swept =
        sweeps.stream().flatMap(s -> s.natives().stream())
            .collect(Collectors.toCollection(TreeSet::new));
    assertEquals(natives, swept, "every native has a sweep");
    return sweeps.stream()
        .map(s -> DynamicTest.dynamicTest(String.join(", ", s.natives()), () -> run(s.body())));
  }

  private static void run(Body body) throws Exception {
    long encoder = Native.OpenH264TQEncoderCreate(null, null, null, null);
    long decoder = Native.OpenH264TQDecoderCreate(null, null, null, null);
    RecordingListener listener = new RecordingListener();
    MessageListener previous = Native.setThreadMessageListener(listener);
    try {
      assertNotEquals(0L, encoder);
      assertNotEquals(0L, decoder);
      body.run(encoder, decoder);
    } finally {
      Native.setThreadMessageListener(previous);
      Native.OpenH264TQEncoderDestroy(encoder);
      Native.OpenH264TQDecoderDestroy(decoder);
    }
    assertEquals(List.of(), listener.errors, "no call failed inside OpenH264");
  }

  private static int[] sentinels(int length) {
    int[] array = new int[length];
    Arrays.fill(array, SENTINEL);
    return array;
  }

  private static void assertUntouched(int[] array, int from, String what) {
    for (int i = from; i < array.length; i++) {
      assertEquals(SENTINEL, array[i], what + ": element " + i + " was written");
    }
  }

  /** Encodes one valid picture; returns the array, or null. */
  private static byte[] encodeValid(long encoder, int frame) {
    byte[] packed = TestPictures.movingPattern(W, H, frame);
    return Native.OpenH264TQEncoderEncodei420(encoder, W, H, TestPictures.planes(packed, W, H),
        TestPictures.strides(W), new int[3], 0, new int[1]);
  }

  private void createAndDestroy(long unusedEncoder, long unusedDecoder) {
    for (Object callback : CALLBACKS) {
      long encoder = Native.OpenH264TQEncoderCreate(callback, callback, callback, callback);
      assertNotEquals(0L, encoder, "callbacks are kept, never used as objects");
      assertNotNull(encodeValid(encoder, 0), "the output comes from AllocCallback all the same");
      Native.OpenH264TQEncoderDestroy(encoder);
      long decoder = Native.OpenH264TQDecoderCreate(callback, callback, callback, callback);
      assertNotEquals(0L, decoder);
      Native.OpenH264TQDecoderDestroy(decoder);
    }
    Native.OpenH264TQEncoderDestroy(0);
    Native.OpenH264TQDecoderDestroy(0);
  }

  private void setConfig(long encoder, long decoder) {
    assertEquals(-1, Native.OpenH264TQEncoderSetConfig(0, new EncoderConfig()));
    assertEquals(-1, Native.OpenH264TQDecoderSetConfig(0, new DecoderConfig()));
    assertEquals(-1, Native.OpenH264TQEncoderSetConfig(encoder, null));
    assertEquals(-1, Native.OpenH264TQDecoderSetConfig(decoder, null));
    IllegalStateException failure = new IllegalStateException("getter failed");
    EncoderConfig throwing =
        new EncoderConfig() {
          @Override
          public int getMaxQP() {
            throw failure;
          }
        };
    assertSame(failure, assertThrows(IllegalStateException.class,
        () -> Native.OpenH264TQEncoderSetConfig(encoder, throwing)));
    assertEquals(0, Native.OpenH264TQEncoderSetConfig(encoder, new EncoderConfig()));
    assertEquals(0, Native.OpenH264TQDecoderSetConfig(decoder, new DecoderConfig()));
  }

  /** Counts the getter calls the library makes on it. */
  private static final class CountingLayer extends SpatialLayerConfig {
    int reads;

    @Override
    public float getFrameRate() {
      reads++;
      return super.getFrameRate();
    }
  }

  private void layerConfig(long encoder, long unused) {
    assertEquals(-1, Native.OpenH264TQEncoderSetSpatialLayerConfig(0, new SpatialLayerConfig(), 0));
    for (int layer : new int[] {Integer.MIN_VALUE, -1, 0, 3, 4, Integer.MAX_VALUE}) {
      CountingLayer counting = new CountingLayer();
      assertEquals(0, Native.OpenH264TQEncoderSetSpatialLayerConfig(encoder, counting, layer));
      boolean slot = layer >= 0 && layer < EncoderConfig.MAX_SPATIAL_LAYERS;
      assertEquals(slot ? 1 : 0, counting.reads, "layer " + layer + " is read only into a slot");
      assertEquals(-1, Native.OpenH264TQEncoderSetSpatialLayerConfig(encoder, null, layer));
    }
    assertNotNull(encodeValid(encoder, 0));
  }

  private void applyConfigChanges(long encoder, long unused) {
    assertEquals(0, Native.OpenH264TQEncoderSetConfig(encoder, new EncoderConfig()));
    assertEquals(0,
        Native.OpenH264TQEncoderSetSpatialLayerConfig(encoder, new SpatialLayerConfig(), 0));
    for (long value : LONGS) {
      assertEquals(-1, Native.OpenH264TQEncoderApplyConfigChanges(0, value));
      assertEquals(0, Native.OpenH264TQEncoderApplyConfigChanges(encoder, value), "stored");
    }
    assertNotNull(encodeValid(encoder, 0));
    for (long value : LONGS) {
      assertEquals(0, Native.OpenH264TQEncoderApplyConfigChanges(encoder, value), "applied");
    }
  }

  /** The arguments of one Encodei420 call, valid until a case spoils one of them. */
  private static final class EncodeCall {
    long handle;
    int width = W;
    int height = H;
    byte[][] planes = TestPictures.planes(TestPictures.movingPattern(W, H, 0), W, H);
    int[] strides = TestPictures.strides(W);
    int[] offsets = new int[3];
    long unused;
    int[] outSize = sentinels(1);

    EncodeCall(long handle) {
      this.handle = handle;
    }

    byte[] run() {
      byte[][] planeContents =
          planes == null ? null : Arrays.stream(planes).map(p -> p == null ? null : p.clone())
              .toArray(byte[][]::new);
      int[] stridesBefore = strides == null ? null : strides.clone();
      int[] offsetsBefore = offsets == null ? null : offsets.clone();
      byte[] out =
          Native.OpenH264TQEncoderEncodei420(
              handle, width, height, planes, strides, offsets, unused, outSize);
      assertTrue(Arrays.deepEquals(planeContents, planes), "the planes are not written");
      assertArrayEquals(stridesBefore, strides, "strides are not written");
      assertArrayEquals(offsetsBefore, offsets, "offsets are not written");
      return out;
    }
  }

  private static Map<String, Consumer<EncodeCall>> refusedEncodeCalls() {
    Map<String, Consumer<EncodeCall>> cases = new LinkedHashMap<>();
    cases.put("handle 0", c -> c.handle = 0);
    for (int value : new int[] {Integer.MIN_VALUE, -2, 0, W + 2, Integer.MAX_VALUE}) {
      cases.put("width " + value, c -> c.width = value);
    }
    for (int value : new int[] {Integer.MIN_VALUE, -2, 0, H + 2, Integer.MAX_VALUE}) {
      cases.put("height " + value, c -> c.height = value);
    }
    cases.put("planes null", c -> c.planes = null);
    cases.put("no planes", c -> c.planes = new byte[0][]);
    cases.put("two planes", c -> c.planes = Arrays.copyOf(c.planes, 2));
    cases.put("strides null", c -> c.strides = null);
    cases.put("two strides", c -> c.strides = Arrays.copyOf(c.strides, 2));
    cases.put("offsets null", c -> c.offsets = null);
    cases.put("two offsets", c -> c.offsets = new int[2]);
    cases.put("out size null", c -> c.outSize = null);
    cases.put("out size empty", c -> c.outSize = new int[0]);
    for (int plane = 0; plane < 3; plane++) {
      int p = plane;
      cases.put("plane " + p + " null", c -> c.planes[p] = null);
      cases.put("plane " + p + " short", c -> c.planes[p] = Arrays.copyOf(c.planes[p],
          c.planes[p].length - 1));
      for (int stride : new int[] {Integer.MIN_VALUE, -1, 0, W / 2 - 1, Integer.MAX_VALUE}) {
        cases.put("plane " + p + " stride " + stride, c -> c.strides[p] = stride);
      }
      for (int offset : new int[] {Integer.MIN_VALUE, -1, 1, Integer.MAX_VALUE}) {
        cases.put("plane " + p + " offset " + offset, c -> c.offsets[p] = offset);
      }
    }
    return cases;
  }

  private void encode(long encoder, long unused) {
    for (Map.Entry<String, Consumer<EncodeCall>> refused : refusedEncodeCalls().entrySet()) {
      EncodeCall call = new EncodeCall(encoder);
      refused.getValue().accept(call);
      assertNull(call.run(), refused.getKey());
      if (call.outSize != null) {
        assertUntouched(call.outSize, 0, refused.getKey());
      }
    }
    assertEquals(1L, Native.OpenH264TQEncoderGetForceKeyFrame(encoder),
        "no refused call reached the encoder");
    for (long value : LONGS) {
      EncodeCall call = new EncodeCall(encoder);
      call.unused = value;
      call.outSize = sentinels(4);
      call.strides = Arrays.copyOf(call.strides, 8);
      call.offsets = Arrays.copyOf(call.offsets, 8);
      byte[] out = call.run();
      assertNotNull(out);
      assertEquals(out.length, call.outSize[0]);
      assertUntouched(call.outSize, 1, "longer out size");
    }
  }

  /** EncodeRgb's refusals: each leaves the pixels and the out size as they were. */
  private void encodeRgb(long encoder) {
    int[] pixels = new int[W * H + 1];
    Arrays.fill(pixels, 0x336699);
    record Call(String what, long handle, Object pixels, int offset, int stride, int layout,
        int width, int height, int[] outSize) {}
    List<Call> refused = new ArrayList<>();
    refused.add(new Call("handle 0", 0, pixels, 0, W, 1, W, H, sentinels(1)));
    refused.add(new Call("pixels null", encoder, null, 0, W, 1, W, H, sentinels(1)));
    refused.add(new Call("not an array", encoder, "pixels", 0, W, 1, W, H, sentinels(1)));
    refused.add(new Call("bytes for ints", encoder, new byte[W * H * 4], 0, W, 1, W, H,
        sentinels(1)));
    refused.add(new Call("ints for bytes", encoder, pixels, 0, W * 3, 5, W, H, sentinels(1)));
    refused.add(new Call("out size null", encoder, pixels, 0, W, 1, W, H, null));
    refused.add(new Call("out size empty", encoder, pixels, 0, W, 1, W, H, new int[0]));
    for (int layout : new int[] {Integer.MIN_VALUE, 0, 8}) {
      refused.add(new Call("layout " + layout, encoder, pixels, 0, W, layout, W, H, sentinels(1)));
    }
    for (int value : new int[] {Integer.MIN_VALUE, -1, 2, Integer.MAX_VALUE}) {
      refused.add(new Call("offset " + value, encoder, pixels, value, W, 1, W, H, sentinels(1)));
    }
    for (int value : new int[] {Integer.MIN_VALUE, 0, W - 1, Integer.MAX_VALUE}) {
      refused.add(new Call("stride " + value, encoder, pixels, 0, value, 1, W, H, sentinels(1)));
    }
    for (int value : new int[] {Integer.MIN_VALUE, 0, W + 2, Integer.MAX_VALUE}) {
      refused.add(new Call("width " + value, encoder, pixels, 0, W, 1, value, H, sentinels(1)));
      refused.add(new Call("height " + value, encoder, pixels, 0, W, 1, W, value, sentinels(1)));
    }
    for (Call call : refused) {
      assertNull(Native.OpenH264TQEncoderEncodeRgb(call.handle(), call.pixels(), call.offset(),
          call.stride(), call.layout(), call.width(), call.height(), call.outSize()), call.what());
      if (call.outSize() != null) {
        assertUntouched(call.outSize(), 0, call.what());
      }
    }
    assertEquals(1L, Native.OpenH264TQEncoderGetForceKeyFrame(encoder),
        "no refused call reached the encoder");
    assertTrue(Arrays.stream(pixels).allMatch(p -> p == 0x336699), "the pixels are not written");
    int[] outSize = sentinels(3);
    byte[] out = Native.OpenH264TQEncoderEncodeRgb(encoder, pixels, 1, W, 1, W, H, outSize);
    assertNotNull(out);
    assertEquals(out.length, outSize[0]);
    assertUntouched(outSize, 1, "longer out size");
  }

  private void openH264Library(long unusedEncoder, long unusedDecoder) {
    String release = Native.OpenH264TQLibraryRelease();
    String file = Native.OpenH264TQLibraryFile();
    assertTrue(release.matches("(1\\.[78]|2\\.[0-6])\\.\\d+"), release);
    assertNotNull(file);
    // Once loaded, the library stays whatever a later call names.
    for (String named : new String[] {null, "", "/nonexistent/libopenh264.so.8", "\u0000\uFFFF",
        file}) {
      assertNull(Native.OpenH264TQLibraryLoad(named), String.valueOf(named));
      assertEquals(release, Native.OpenH264TQLibraryRelease());
      assertEquals(file, Native.OpenH264TQLibraryFile());
    }
  }

  /** A 4x2 picture: 8 luma and 2 + 2 chroma bytes. */
  private static final int I420_BYTES = 12;

  private void conversions(long unusedEncoder, long unusedDecoder) {
    int[] rgb = new int[8];
    byte[] bgr = new byte[24];
    // pixels, offset, stride, layout, width, height, output, output offset: refused ones
    Object[][] toI420 = {
      {null, 0, 4, 1, 4, 2, new byte[I420_BYTES], 0},
      {rgb, 0, 4, 1, 4, 2, null, 0},
      {bgr, 0, 12, 1, 4, 2, new byte[I420_BYTES], 0},
      {rgb, 0, 4, 5, 4, 2, new byte[I420_BYTES], 0},
      {rgb, 0, 4, 99, 4, 2, new byte[I420_BYTES], 0},
      {rgb, 0, 3, 1, 4, 2, new byte[I420_BYTES], 0},
      {rgb, 1, 4, 1, 4, 2, new byte[I420_BYTES], 0},
      {rgb, -1, 4, 1, 4, 2, new byte[I420_BYTES], 0},
      {rgb, 0, 4, 1, 0, 2, new byte[I420_BYTES], 0},
      {rgb, 0, 4, 1, 4, Integer.MAX_VALUE, new byte[I420_BYTES], 0},
      {rgb, 0, Integer.MAX_VALUE, 1, 4, 2, new byte[I420_BYTES], 0},
      {rgb, 0, 4, 1, 4, 2, new byte[I420_BYTES], 1},
      {rgb, 0, 4, 1, 4, 2, new byte[I420_BYTES - 1], 0},
    };
    for (Object[] c : toI420) {
      byte[] out = (byte[]) c[6];
      if (out != null) {
        Arrays.fill(out, (byte) 0x5A);
      }
      assertEquals(-1, Native.OpenH264TQConvertToI420(c[0], (int) c[1], (int) c[2], (int) c[3],
          (int) c[4], (int) c[5], out, (int) c[7]), Arrays.toString(c));
      for (int i = 0; out != null && i < out.length; i++) {
        assertEquals((byte) 0x5A, out[i], Arrays.toString(c) + ": byte " + i + " was written");
      }
    }
    byte[] i420 = new byte[I420_BYTES];
    assertEquals(0, Native.OpenH264TQConvertToI420(rgb, 0, 4, 1, 4, 2, i420, 0));
    assertEquals(16, i420[0], "black is luma 16");
    // planes, y offset, y stride, u offset, v offset, chroma stride, width, height, matrix,
    // full range, output, output offset, output stride: refused ones
    Object[][] toRgb = {
      {null, 0, 4, 8, 10, 2, 4, 2, 6, 0, sentinels(8), 0, 4},
      {i420, 0, 4, 8, 10, 2, 4, 2, 6, 0, null, 0, 4},
      {i420, 0, 3, 8, 10, 2, 4, 2, 6, 0, sentinels(8), 0, 4},
      {i420, 0, 4, 8, 11, 2, 4, 2, 6, 0, sentinels(8), 0, 4},
      {i420, 0, 4, 8, 10, 2, 4, 2, 3, 0, sentinels(8), 0, 4},
      {i420, 0, 4, 8, 10, 2, 4, 2, 6, 2, sentinels(8), 0, 4},
      {i420, 0, 4, 8, 10, 2, 4, 2, 6, 0, sentinels(7), 0, 4},
      {i420, 0, 4, 8, 10, 2, 4, 2, 6, 0, sentinels(8), 1, 4},
      {i420, -1, 4, 8, 10, 2, 4, 2, 6, 0, sentinels(8), 0, 4},
      {i420, 0, 4, 8, 10, 2, Integer.MAX_VALUE, 2, 6, 0, sentinels(8), 0, 4},
    };
    for (Object[] c : toRgb) {
      int[] out = (int[]) c[10];
      assertEquals(-1, Native.OpenH264TQConvertI420ToRgb((byte[]) c[0], (int) c[1], (int) c[2],
          (int) c[3], (int) c[4], (int) c[5], (int) c[6], (int) c[7], (int) c[8], (int) c[9], out,
          (int) c[11], (int) c[12]), Arrays.toString(c));
      if (out != null) {
        assertUntouched(out, 0, Arrays.toString(c));
      }
    }
    int[] back = sentinels(8);
    assertEquals(0, Native.OpenH264TQConvertI420ToRgb(i420, 0, 4, 8, 10, 2, 4, 2, 6, 0, back, 0,
        4));
    assertEquals(0, back[0] & 0xFFFFFF, "black comes back black");
  }

  private void storedFlags(long encoder, long decoder) {
    for (long value : LONGS) {
      Native.OpenH264TQEncoderSetForceKeyFrame(0, value);
      Native.OpenH264TQDecoderSetNeedsKeyFrame(0, value);
      assertEquals(0L, Native.OpenH264TQEncoderGetForceKeyFrame(0));
      assertEquals(0L, Native.OpenH264TQDecoderGetNeedsKeyFrame(0));
      Native.OpenH264TQEncoderSetForceKeyFrame(encoder, value);
      Native.OpenH264TQDecoderSetNeedsKeyFrame(decoder, value);
      assertEquals(value, Native.OpenH264TQEncoderGetForceKeyFrame(encoder));
      assertEquals(value, Native.OpenH264TQDecoderGetNeedsKeyFrame(decoder));
    }
  }

  private void runtimeControls(long encoder, long unused) {
    // Before the first picture both are only stored.
    for (long value : LONGS) {
      assertEquals(-1L, Native.OpenH264TQEncoderGetBitrate(0));
      Native.OpenH264TQEncoderSetBitrate(0, value);
      Native.OpenH264TQEncoderSetBitrate(encoder, value);
      assertEquals((long) (int) value, Native.OpenH264TQEncoderGetBitrate(encoder),
          "the low 32 bits are stored");
    }
    for (int mode : INTS) {
      assertEquals(-1, Native.OpenH264TQEncoderSetComplexityMode(0, mode));
      assertEquals(0, Native.OpenH264TQEncoderSetComplexityMode(encoder, mode));
    }
    // A running encoder refuses what it cannot take and goes on encoding.
    Native.OpenH264TQEncoderSetComplexityMode(encoder, 0);
    Native.OpenH264TQEncoderSetBitrate(encoder, 300);
    int frame = 0;
    assertNotNull(encodeValid(encoder, frame++));
    for (long value : LONGS) {
      Native.OpenH264TQEncoderSetBitrate(encoder, value);
      assertNotNull(encodeValid(encoder, frame++), "bit rate " + value);
    }
    for (int mode : INTS) {
      Native.OpenH264TQEncoderSetComplexityMode(encoder, mode);
      assertNotNull(encodeValid(encoder, frame++), "complexity " + mode);
    }
  }

  /** The arguments of one Decode call, valid until a case spoils one of them. */
  private static final class DecodeCall {
    long handle;
    byte[] bitstream;
    int length;
    int[][] out = {sentinels(1), sentinels(1), sentinels(3), sentinels(3), sentinels(1)};
    final boolean toRgb; // DecodeToRgb, with the pixel arguments below
    int[] rgb = sentinels(W * H);
    int rgbOffset = 0;
    int rgbStride = W;
    int matrix = 1;
    int fullRange = 0;

    DecodeCall(long handle, byte[] bitstream, int length, boolean toRgb) {
      this.handle = handle;
      this.bitstream = bitstream;
      this.length = length;
      this.toRgb = toRgb;
    }

    byte[] run() {
      byte[] before = bitstream == null ? null : bitstream.clone();
      byte[] picture = toRgb
          ? Native.OpenH264TQDecoderDecodeToRgb(handle, bitstream, length, out[0], out[1],
              out[2], out[3], out[4], rgb, rgbOffset, rgbStride, matrix, fullRange)
          : Native.OpenH264TQDecoderDecode(
              handle, bitstream, length, out[0], out[1], out[2], out[3], out[4]);
      assertArrayEquals(before, bitstream, "the bitstream is not written");
      return picture;
    }
  }

  private static final String[] OUT_NAMES = {"width", "height", "strides", "plane sizes",
      "plane count"};
  private static final int[] OUT_LENGTHS = {1, 1, 3, 3, 1};

  private static Map<String, Consumer<DecodeCall>> refusedDecodeCalls(boolean toRgb) {
    Map<String, Consumer<DecodeCall>> cases = new LinkedHashMap<>();
    if (toRgb) {
      cases.put("pixels null", c -> c.rgb = null);
      for (int offset : new int[] {Integer.MIN_VALUE, -1}) {
        cases.put("pixel offset " + offset, c -> c.rgbOffset = offset);
      }
      cases.put("pixel stride 0", c -> c.rgbStride = 0);
      cases.put("matrix 5", c -> c.matrix = 5);
      cases.put("range 2", c -> c.fullRange = 2);
    }
    cases.put("handle 0", c -> c.handle = 0);
    cases.put("end of stream before any data", c -> c.bitstream = null);
    cases.put("empty bitstream", c -> c.bitstream = new byte[0]);
    for (int length : new int[] {Integer.MIN_VALUE, -1, 0}) {
      cases.put("length " + length, c -> c.length = length);
    }
    for (int i = 0; i < OUT_NAMES.length; i++) {
      int index = i;
      cases.put(OUT_NAMES[i] + " null", c -> c.out[index] = null);
      cases.put(OUT_NAMES[i] + " short", c -> c.out[index] = sentinels(OUT_LENGTHS[index] - 1));
    }
    return cases;
  }

  private void decode(long decoder, boolean toRgb) {
    byte[] idr;
    try (H264Encoder encoder = new H264Encoder(new EncoderConfig())) {
      idr = encoder.encode(H264EncoderTest.picture(W, H, 0)).data();
    }
    for (Map.Entry<String, Consumer<DecodeCall>> refused : refusedDecodeCalls(toRgb).entrySet()) {
      DecodeCall call = new DecodeCall(decoder, idr, idr.length, toRgb);
      refused.getValue().accept(call);
      assertNull(call.run(), refused.getKey());
      for (int[] out : call.out) {
        if (out != null) {
          assertUntouched(out, 0, refused.getKey());
        }
      }
      if (call.rgb != null) {
        assertUntouched(call.rgb, 0, refused.getKey() + ": pixels");
      }
    }
    assertEquals(0L, Native.OpenH264TQDecoderGetNeedsKeyFrame(decoder));
    for (int length : new int[] {idr.length, idr.length + 1, Integer.MAX_VALUE}) {
      DecodeCall call = new DecodeCall(decoder, idr, length, toRgb);
      for (int i = 0; i < call.out.length; i++) {
        call.out[i] = sentinels(OUT_LENGTHS[i] + 2);
      }
      // The pixels of a picture that does not fit stay untouched: it comes back as planes.
      boolean fits = length != Integer.MAX_VALUE;
      call.rgbOffset = fits ? 2 : Integer.MAX_VALUE;
      call.rgb = sentinels(W * H + 4);
      byte[] picture = call.run();
      assertArrayEquals(new int[] {W, H}, new int[] {call.out[0][0], call.out[1][0]});
      if (toRgb && fits) {
        assertNull(picture, "length " + length + ": the picture went into the pixels");
        assertEquals(0, call.out[4][0], "no planes");
        assertUntouched(call.rgb, W * H + 2, "pixels past the picture");
        assertNotEquals(SENTINEL, call.rgb[2], "the first pixel");
        continue;
      }
      assertUntouched(call.rgb, 0, "pixels of a picture returned as planes");
      assertNotNull(picture, "length " + length);
      assertEquals(3, call.out[4][0]);
      assertEquals(picture.length, call.out[3][0] + call.out[3][1] + call.out[3][2]);
      for (int i = 0; i < call.out.length; i++) {
        assertUntouched(call.out[i], OUT_LENGTHS[i], "longer " + OUT_NAMES[i]);
      }
    }
  }
}
