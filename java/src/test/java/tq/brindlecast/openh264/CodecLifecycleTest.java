package tq.brindlecast.openh264;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.logging.Handler;
import java.util.logging.Level;
import java.util.logging.LogRecord;
import java.util.logging.Logger;
import org.junit.jupiter.api.Test;

/** Closing, the cleaner, and where each object's messages go. */
class CodecLifecycleTest {
  /** A valid argument of each type the public methods take. */
  private static Object argument(Class<?> type) {
    if (type == I420Picture.class) {
      return H264EncoderTest.picture(64, 64, 0);
    } else if (type == EncoderConfig.class) {
      return new EncoderConfig();
    } else if (type == DecoderConfig.class) {
      return new DecoderConfig();
    } else if (type == List.class) {
      return List.of(new SpatialLayerConfig());
    } else if (type == ComplexityMode.class) {
      return ComplexityMode.LOW;
    } else if (type == byte[].class) {
      return new byte[] {0, 0, 0, 1, 0x67};
    } else if (type == int.class) {
      return 1;
    } else if (type == RgbPixels.class) {
      return new RgbPixels(new int[64 * 64], 0, 64, 1, false);
    } else if (type == Object.class) {
      return new int[64 * 64];
    }
    throw new AssertionError("no test argument for " + type);
  }

  private static void assertEveryCallRefused(Object closed) throws Exception {
    int calls = 0;
    for (Method method : closed.getClass().getDeclaredMethods()) {
      if (!Modifier.isPublic(method.getModifiers()) || Modifier.isStatic(method.getModifiers())
          || method.getName().equals("close")) {
        continue;
      }
      Object[] arguments = new Object[method.getParameterCount()];
      for (int i = 0; i < arguments.length; i++) {
        arguments[i] = argument(method.getParameterTypes()[i]);
      }
      if (method.getName().equals("decode") && arguments.length == 3) {
        arguments[1] = 0;
        arguments[2] = 5;
      }
      if (method.getName().equals("encodeRgb")) {
        arguments = new Object[] {new int[64 * 64], 0, 64, 1, 64, 64};
      }
      try {
        method.invoke(closed, arguments);
        fail(method + " ran on a closed object");
      } catch (InvocationTargetException refused) {
        assertInstanceOf(IllegalStateException.class, refused.getCause(), method.toString());
        assertTrue(refused.getCause().getMessage().contains("is closed"), method.toString());
      }
      calls++;
    }
    assertTrue(calls >= 5, "only " + calls + " public methods found");
  }

  @Test
  void closedObjectsRefuseEveryCallAndCloseTwiceQuietly() throws Exception {
    H264Encoder encoder = new H264Encoder(new EncoderConfig());
    encoder.encode(H264EncoderTest.picture(64, 64, 0));
    encoder.close();
    encoder.close();
    assertEveryCallRefused(encoder);
    H264Decoder decoder = new H264Decoder();
    decoder.close();
    decoder.close();
    assertEveryCallRefused(decoder);
  }

  @Test
  void contextsOfObjectsNeverClosedAreFreedOnceUnreachable() throws Exception {
    int before = NativeContext.LIVE.get();
    List<Object> held = new ArrayList<>();
    for (int i = 0; i < 20; i++) {
      H264Encoder encoder = new H264Encoder(new EncoderConfig());
      encoder.encode(H264EncoderTest.picture(64, 64, i));
      held.add(encoder);
      held.add(new H264Decoder());
    }
    assertTrue(NativeContext.LIVE.get() >= before + 40, "reachable objects keep their contexts");
    held.clear();
    H264Encoder closed = new H264Encoder(new EncoderConfig());
    int open = NativeContext.LIVE.get();
    closed.close();
    assertEquals(open - 1, NativeContext.LIVE.get(), "close frees at once");
    for (int attempt = 0; attempt < 100 && NativeContext.LIVE.get() > before; attempt++) {
      System.gc();
      Thread.sleep(50);
    }
    assertTrue(NativeContext.LIVE.get() <= before,
        "contexts still live: " + (NativeContext.LIVE.get() - before));
  }

  @Test
  void aCodecNeverClosedIsReportedOnceAndWhereItWasMadeWhenAsked() throws Exception {
    String classPath = System.getenv("TQ_JAR") + java.io.File.pathSeparator
        + Path.of(LeakingCodecs.class.getProtectionDomain().getCodeSource().getLocation().toURI());
    // Each row: the JVM options, and what the warning says besides.
    Map<String, String> rows = Map.of(
        "-Dunrelated=true", "Run with -D" + NativeContext.LEAK_TRACE_PROPERTY + "=true",
        "-D" + NativeContext.LEAK_TRACE_PROPERTY + "=true", "LeakingCodecs.makeAndForget");
    for (Map.Entry<String, String> row : rows.entrySet()) {
      Process process = new ProcessBuilder(
          Path.of(System.getProperty("java.home"), "bin", "java").toString(), row.getKey(),
          "-cp", classPath, LeakingCodecs.class.getName())
          .redirectErrorStream(true).start();
      String output = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
      assertEquals(0, process.waitFor(), output);
      assertTrue(output.contains("live contexts: 0"), output);
      assertEquals(1, output.split("was never closed", -1).length - 1,
          row.getKey() + ": one warning for two codecs left to the cleaner\n" + output);
      assertTrue(output.contains(row.getValue()), row.getKey() + ":\n" + output);
    }
  }

  @Test
  void messagesGoToTheListenerOfTheObjectWhoseCallRuns() throws Exception {
    RecordingListener resizing = new RecordingListener();
    RecordingListener steady = new RecordingListener();
    Together.run(2, thread -> encodePictures(thread == 0 ? resizing : steady, thread == 0));
    String initializing = "openh264 encode: Initializing encoder.";
    // The resizing encoder is rebuilt for every picture, the steady one only once.
    assertEquals(30, resizing.debug.stream().filter(initializing::equals).count());
    assertEquals(1, steady.debug.stream().filter(initializing::equals).count());
    assertEquals(List.of(), resizing.errors);
    assertEquals(List.of(), steady.errors);
  }

  private static void encodePictures(RecordingListener listener, boolean resize) {
    try (H264Encoder encoder =
        new H264Encoder(new EncoderConfig(), List.of(new SpatialLayerConfig()), listener)) {
      for (int frame = 0; frame < 30; frame++) {
        int width = resize ? 64 + 16 * (frame % 2) : 64;
        encoder.encode(H264EncoderTest.picture(width, 64, frame));
      }
    }
  }

  @Test
  void threadListenerSetAroundAnObjectsCallIsPutBack() {
    RecordingListener own = new RecordingListener();
    RecordingListener thread = new RecordingListener();
    thread.around(
        () -> {
          try (H264Encoder encoder =
              new H264Encoder(new EncoderConfig(), List.of(new SpatialLayerConfig()), own)) {
            encoder.encode(H264EncoderTest.picture(64, 64, 0));
          }
          Native.OpenH264TQEncoderDestroy(Native.OpenH264TQEncoderCreate(null, null, null, null));
        });
    assertTrue(own.debug.contains("openh264 encode: Initializing encoder."));
    assertEquals(List.of("openh264 encode: Created context."), thread.debug);
  }

  @Test
  void withoutAListenerMessagesGoToTheSystemLogger() {
    Logger logger = Logger.getLogger("tq.brindlecast.openh264");
    List<LogRecord> records = Collections.synchronizedList(new ArrayList<>());
    Handler handler =
        new Handler() {
          @Override
          public void publish(LogRecord record) {
            records.add(record);
          }

          @Override
          public void flush() {}

          @Override
          public void close() {}
        };
    Level level = logger.getLevel();
    boolean parentHandlers = logger.getUseParentHandlers();
    logger.setLevel(Level.ALL);
    logger.setUseParentHandlers(false);
    logger.addHandler(handler);
    try (H264Encoder encoder =
        new H264Encoder(new EncoderConfig().setRcMode(RateControlMode.BITRATE_POST_SKIP))) {
      try {
        encoder.encode(H264EncoderTest.picture(64, 64, 0));
        fail("the encoder cannot be built with this rate-control mode");
      } catch (CodecException expected) {
        // reported to the logger as well
      }
    } finally {
      logger.removeHandler(handler);
      logger.setLevel(level);
      logger.setUseParentHandlers(parentHandlers);
    }
    assertTrue(records.stream().anyMatch(r -> r.getLevel() == Level.FINE
        && r.getMessage().equals("openh264 encode: Created context.")), "debug at DEBUG (FINE)");
    assertTrue(records.stream().anyMatch(r -> r.getLevel() == Level.SEVERE
        && r.getMessage().equals("openh264 encode: Could not initialize openh264 encoder.")),
        "errors at ERROR (SEVERE)");
  }
}
