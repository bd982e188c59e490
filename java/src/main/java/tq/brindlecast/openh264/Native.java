package tq.brindlecast.openh264;

/**
 * The native entry points of libtqh264bridge and the static callbacks the library calls back
 * into. This is the low-level contract of the library: handles are raw addresses, results are
 * null or codes, and nothing is checked on the Java side. Most code wants the higher-level API
 * instead.
 *
 * <p>Messages from the library go to the {@link MessageListener} set for the calling thread with
 * {@link #setThreadMessageListener}; without one they go to the {@link System.Logger} named
 * {@code tq.brindlecast.openh264}, errors at {@code ERROR} and the rest at {@code DEBUG}.
 */
public final class Native {
  static {
    NativeLoader.load();
  }

  private static final System.Logger LOGGER = System.getLogger("tq.brindlecast.openh264");
  private static final ThreadLocal<MessageListener> THREAD_LISTENER = new ThreadLocal<>();
  private static final ThreadLocal<byte[]> OFFERED_OUTPUT = new ThreadLocal<>();

  private Native() {}

  /**
   * Sets the listener that receives the messages of native calls made by the current thread.
   *
   * @param listener the listener, or null to send messages to the logger
   * @return the listener set before, or null
   */
  public static MessageListener setThreadMessageListener(MessageListener listener) {
    MessageListener previous = THREAD_LISTENER.get();
    if (listener == null) {
      THREAD_LISTENER.remove();
    } else {
      THREAD_LISTENER.set(listener);
    }
    return previous;
  }

  /** Makes sure the native library is loaded; throws {@link UnsatisfiedLinkError} if it cannot be. */
  public static void ensureLoaded() {
    // Running the static initialiser is all it takes.
  }

  // Encoder.

  /** Creates an encoder context and returns its handle (0 if memory ran out). */
  public static native long OpenH264TQEncoderCreate(
      Object allocCallback, Object returnCallback, Object errorCallback, Object debugCallback);

  /** Destroys an encoder context; a handle of 0 is ignored. */
  public static native void OpenH264TQEncoderDestroy(long encoderHandle);

  /** Stores the base configuration read from the object's getters. */
  public static native int OpenH264TQEncoderSetConfig(long handle, EncoderConfig configObject);

  /** Stores the configuration of spatial layer 0 to 3 read from the object's getters. */
  public static native int OpenH264TQEncoderSetSpatialLayerConfig(
      long handle, SpatialLayerConfig layerObject, int layer);

  /** Applies the stored configuration to a running encoder. */
  public static native int OpenH264TQEncoderApplyConfigChanges(long handle, long unused);

  /**
   * Encodes one I420 picture and returns its Annex B bytes, or null when nothing was produced.
   */
  public static native byte[] OpenH264TQEncoderEncodei420(
      long encoderHandle,
      int frameWidth,
      int frameHeight,
      byte[][] planes,
      int[] planeStrides,
      int[] planeOffsets,
      long unused,
      int[] outFrameSize);

  /** Reads the pending key-frame request. */
  public static native long OpenH264TQEncoderGetForceKeyFrame(long encoderHandle);

  /** Sets the key-frame request; a value above 0 makes the next picture an IDR picture. */
  public static native void OpenH264TQEncoderSetForceKeyFrame(
      long encoderHandle, long forceKeyFrameValue);

  /** Reads the bit rate in units of 1024 bit/s, or -1 if the encoder cannot report it. */
  public static native long OpenH264TQEncoderGetBitrate(long encoderHandle);

  /** Sets the bit rate in units of 1024 bit/s. */
  public static native void OpenH264TQEncoderSetBitrate(long encoderHandle, long bitrateKbps);

  /** Sets the complexity mode; returns 0 or OpenH264's error code. */
  public static native int OpenH264TQEncoderSetComplexityMode(
      long encoderHandle, int complexityMode);

  // Decoder.

  /** Creates a decoder context and returns its handle (0 if memory ran out). */
  public static native long OpenH264TQDecoderCreate(
      Object allocCallback, Object returnCallback, Object errorCallback, Object debugCallback);

  /** Destroys a decoder context; a handle of 0 is ignored. */
  public static native void OpenH264TQDecoderDestroy(long decoderHandle);

  /** Stores a new decoder configuration; the next decode brings up a fresh decoder. */
  public static native int OpenH264TQDecoderSetConfig(
      long decoderHandle, DecoderConfig decoderConfigObject);

  /** Reads the key-frame request flag, raised by a failed decode. */
  public static native long OpenH264TQDecoderGetNeedsKeyFrame(long decoderHandle);

  /** Overwrites the key-frame request flag. */
  public static native void OpenH264TQDecoderSetNeedsKeyFrame(long decoderHandle, long value);

  /**
   * Decodes a buffer of H.264 bytes. Returns the Y, U and V planes of a finished picture back to
   * back at the decoder's strides, or null when no picture is ready; a null bitstream means the
   * stream has ended.
   */
  public static native byte[] OpenH264TQDecoderDecode(
      long decoderHandle,
      byte[] bitstream,
      int bitstreamLength,
      int[] outWidth,
      int[] outHeight,
      int[] outStrides,
      int[] outPlaneSizes,
      int[] outPlaneCount);

  /**
   * Offers an array to the next {@link #AllocCallback} on the current thread, which returns it
   * instead of a new array if its length is exactly the size asked for. Used by {@link
   * H264Decoder#decode(byte[], int, int, byte[])} around one native call, and withdrawn after it.
   *
   * @param output the array, or null to withdraw an offer
   */
  static void offerOutput(byte[] output) {
    if (output == null) {
      OFFERED_OUTPUT.remove();
    } else {
      OFFERED_OUTPUT.set(output);
    }
  }

  // Callbacks made by the library, not part of the API: JNI finds them by name and signature
  // whatever their access. They never throw.

  /**
   * Allocates an output array for the library. Every call returns a new array, unless the code
   * that made the native call on this thread offered one of exactly this size for it (only the
   * Java API does, at its caller's request); an offer serves one call at most.
   *
   * @param size the number of bytes
   * @return a new array (or the offered one), or null when it cannot be allocated
   */
  static byte[] AllocCallback(int size) {
    byte[] offered = OFFERED_OUTPUT.get();
    if (offered != null) {
      OFFERED_OUTPUT.remove();
      if (offered.length == size) {
        return offered;
      }
    }
    try {
      return new byte[size];
    } catch (Throwable allocationFailed) {
      return null;
    }
  }

  /**
   * Receives a set-up failure message from the library.
   *
   * @param message the text
   */
  static void ErrorCallback(String message) {
    deliver(true, message);
  }

  /**
   * Receives a progress message from the library.
   *
   * @param message the text
   */
  static void DebugCallback(String message) {
    deliver(false, message);
  }

  private static void deliver(boolean error, String message) {
    try {
      MessageListener listener = THREAD_LISTENER.get();
      if (listener == null) {
        LOGGER.log(error ? System.Logger.Level.ERROR : System.Logger.Level.DEBUG, message);
      } else if (error) {
        listener.onError(message);
      } else {
        listener.onDebug(message);
      }
    } catch (Throwable listenerFailed) {
      // A failing listener must not disturb the native call that reported.
    }
  }
}
