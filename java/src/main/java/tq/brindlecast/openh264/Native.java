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

  /**
   * Creates an encoder context.
   *
   * @param allocCallback ignored: arrays come from {@link #AllocCallback}; pass null
   * @param returnCallback ignored; pass null
   * @param errorCallback ignored: messages go to {@link #ErrorCallback}; pass null
   * @param debugCallback ignored: messages go to {@link #DebugCallback}; pass null
   * @return the handle of the context, or 0 if memory ran out
   */
  public static native long OpenH264TQEncoderCreate(
      Object allocCallback, Object returnCallback, Object errorCallback, Object debugCallback);

  /**
   * Destroys an encoder context; a handle of 0 is ignored.
   *
   * @param encoderHandle the handle from {@link #OpenH264TQEncoderCreate}
   */
  public static native void OpenH264TQEncoderDestroy(long encoderHandle);

  /**
   * Stores the base configuration read from the object's getters.
   *
   * @param handle the encoder's handle
   * @param configObject the configuration
   * @return 0, or -1 when the handle or the object is null or a getter failed
   */
  public static native int OpenH264TQEncoderSetConfig(long handle, EncoderConfig configObject);

  /**
   * Stores the configuration of spatial layer 0 to 3 read from the object's getters.
   *
   * @param handle the encoder's handle
   * @param layerObject the layer's configuration
   * @param layer the layer, 0 to 3; another number stores nothing
   * @return 0, or -1 when the handle or the object is null or a getter failed
   */
  public static native int OpenH264TQEncoderSetSpatialLayerConfig(
      long handle, SpatialLayerConfig layerObject, int layer);

  /**
   * Applies the stored configuration to a running encoder.
   *
   * @param handle the encoder's handle
   * @param unused not read
   * @return 0, -1 for a null handle, or OpenH264's error code
   */
  public static native int OpenH264TQEncoderApplyConfigChanges(long handle, long unused);

  /**
   * Encodes one I420 picture.
   *
   * @param encoderHandle the encoder's handle
   * @param frameWidth the width in pixels
   * @param frameHeight the height in pixels
   * @param planes the Y, U and V planes
   * @param planeStrides the bytes from one row to the next in Y, U and V
   * @param planeOffsets where Y, U and V start in their arrays
   * @param unused not read
   * @param outFrameSize receives the number of bytes produced in element 0
   * @return the picture's Annex B bytes, or null when nothing was produced
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

  /**
   * Encodes a picture given as RGB pixels, as a {@code BufferedImage} raster holds them: the
   * library converts them (BT.601, limited range, as {@link #OpenH264TQConvertToI420} does) into
   * a picture buffer it keeps for the next call, and encodes that, so that the pixels are read
   * once and no I420 array crosses from Java.
   *
   * @param encoderHandle the encoder's handle
   * @param pixels the raster's array: {@code int[]} for the layouts 1 to 4, {@code byte[]} for 5
   *     to 7
   * @param pixelOffset the element of the first pixel
   * @param scanlineStride the elements from one row to the next
   * @param pixelLayout the {@code BufferedImage} type the array is laid out as, 1 {@code
   *     TYPE_INT_RGB} to 7 {@code TYPE_4BYTE_ABGR_PRE}, as {@link #OpenH264TQConvertToI420} takes
   * @param frameWidth the width in pixels
   * @param frameHeight the height in pixels
   * @param outFrameSize receives the length of the returned array in element 0
   * @return the encoded picture, or null when nothing was produced or an argument is out of range
   */
  public static native byte[] OpenH264TQEncoderEncodeRgb(long encoderHandle, Object pixels,
      int pixelOffset, int scanlineStride, int pixelLayout, int frameWidth, int frameHeight,
      int[] outFrameSize);

  /**
   * Reads the pending key-frame request.
   *
   * @param encoderHandle the encoder's handle
   * @return the request; above 0 when the next picture is to be an IDR picture
   */
  public static native long OpenH264TQEncoderGetForceKeyFrame(long encoderHandle);

  /**
   * Sets the key-frame request.
   *
   * @param encoderHandle the encoder's handle
   * @param forceKeyFrameValue above 0 to make the next picture an IDR picture
   */
  public static native void OpenH264TQEncoderSetForceKeyFrame(
      long encoderHandle, long forceKeyFrameValue);

  /**
   * Reads the bit rate.
   *
   * @param encoderHandle the encoder's handle
   * @return the bit rate in units of 1024 bit/s, or -1 if the encoder cannot report it
   */
  public static native long OpenH264TQEncoderGetBitrate(long encoderHandle);

  /**
   * Sets the bit rate.
   *
   * @param encoderHandle the encoder's handle
   * @param bitrateKbps the bit rate in units of 1024 bit/s
   */
  public static native void OpenH264TQEncoderSetBitrate(long encoderHandle, long bitrateKbps);

  /**
   * Sets the complexity mode.
   *
   * @param encoderHandle the encoder's handle
   * @param complexityMode the mode as {@link ComplexityMode#value()} numbers it
   * @return 0 or OpenH264's error code
   */
  public static native int OpenH264TQEncoderSetComplexityMode(
      long encoderHandle, int complexityMode);

  // Decoder.

  /**
   * Creates a decoder context.
   *
   * @param allocCallback ignored: arrays come from {@link #AllocCallback}; pass null
   * @param returnCallback ignored; pass null
   * @param errorCallback ignored: messages go to {@link #ErrorCallback}; pass null
   * @param debugCallback ignored: messages go to {@link #DebugCallback}; pass null
   * @return the handle of the context, or 0 if memory ran out
   */
  public static native long OpenH264TQDecoderCreate(
      Object allocCallback, Object returnCallback, Object errorCallback, Object debugCallback);

  /**
   * Destroys a decoder context; a handle of 0 is ignored.
   *
   * @param decoderHandle the handle from {@link #OpenH264TQDecoderCreate}
   */
  public static native void OpenH264TQDecoderDestroy(long decoderHandle);

  /**
   * Stores a new decoder configuration; the next decode brings up a fresh decoder.
   *
   * @param decoderHandle the decoder's handle
   * @param decoderConfigObject the configuration
   * @return 0, or -1 when the handle or the object is null or a getter failed
   */
  public static native int OpenH264TQDecoderSetConfig(
      long decoderHandle, DecoderConfig decoderConfigObject);

  /**
   * Reads the key-frame request flag, raised by a failed decode.
   *
   * @param decoderHandle the decoder's handle
   * @return the flag, not 0 while a key frame is needed
   */
  public static native long OpenH264TQDecoderGetNeedsKeyFrame(long decoderHandle);

  /**
   * Overwrites the key-frame request flag.
   *
   * @param decoderHandle the decoder's handle
   * @param value the new flag
   */
  public static native void OpenH264TQDecoderSetNeedsKeyFrame(long decoderHandle, long value);

  /**
   * Decodes a buffer of H.264 bytes.
   *
   * @param decoderHandle the decoder's handle
   * @param bitstream Annex B bytes, or null when the stream has ended
   * @param bitstreamLength the number of bytes to read from {@code bitstream}
   * @param outWidth receives the picture's width in element 0
   * @param outHeight receives the picture's height in element 0
   * @param outStrides receives the strides of Y and of U and V in elements 0 and 1
   * @param outPlaneSizes receives the sizes of the Y, U and V planes in bytes
   * @param outPlaneCount receives the number of planes in element 0
   * @return the Y, U and V planes of a finished picture back to back at the decoder's strides, or
   *     null when no picture is ready
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
   * Decodes a buffer of H.264 bytes as {@link #OpenH264TQDecoderDecode} does, but writes a
   * finished picture whose rows fit into {@code rgb} straight there as {@code 0x00RRGGBB} pixels
   * (the raster of a {@code TYPE_INT_RGB} image), without copying its planes out first; each
   * chroma sample covers its 2x2 block and values outside 0 to 255 are clipped.
   *
   * @param decoderHandle the decoder's handle
   * @param bitstream Annex B bytes, or null when the stream has ended
   * @param bitstreamLength the number of bytes to read from {@code bitstream}
   * @param outWidth receives the picture's width in element 0
   * @param outHeight receives the picture's height in element 0
   * @param outStrides receives the strides of Y and of U and V, for a picture returned as planes
   * @param outPlaneSizes receives the plane sizes, for a picture returned as planes
   * @param outPlaneCount receives the number of planes: 0 when the picture went into {@code rgb}
   * @param rgb the pixels' array
   * @param rgbOffset where in {@code rgb} the first pixel goes
   * @param rgbStride the ints from one row of pixels to the next, at least 1
   * @param matrix the colour matrix, as H.264's {@code matrix_coefficients}: 1 BT.709, 6 BT.601
   * @param fullRange 0 for limited range (luma 16 to 235), 1 for full range (0 to 255)
   * @return the planes of a finished picture that does not fit into {@code rgb}, as {@link
   *     #OpenH264TQDecoderDecode} returns them; null when the picture went into {@code rgb}
   *     (plane count 0), when no picture is ready, or, before anything is decoded, when a pixel
   *     argument is out of range or {@code rgb} is null
   */
  public static native byte[] OpenH264TQDecoderDecodeToRgb(long decoderHandle, byte[] bitstream,
      int bitstreamLength, int[] outWidth, int[] outHeight, int[] outStrides,
      int[] outPlaneSizes, int[] outPlaneCount, int[] rgb, int rgbOffset, int rgbStride,
      int matrix, int fullRange);

  // OpenH264.

  /**
   * Loads OpenH264 for the codecs. The loader calls this once; later calls change nothing.
   *
   * @param requestedFile the file to load (a path, or a file name looked up on the library search
   *     path), the only one tried; null or empty to search for the newest supported release
   * @return null once a release is loaded, by this call or an earlier one; otherwise the report of
   *     every attempt with its reason
   */
  public static native String OpenH264TQLibraryLoad(String requestedFile);

  /**
   * Tells which OpenH264 release was loaded.
   *
   * @return the release, e.g. "2.6.0", or null before one is loaded
   */
  public static native String OpenH264TQLibraryRelease();

  /**
   * Tells where the loaded OpenH264 came from.
   *
   * @return the file's path, or null before one is loaded
   */
  public static native String OpenH264TQLibraryFile();

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

  /**
   * Converts RGB pixels as a {@code BufferedImage} raster holds them into a packed I420 picture
   * (BT.601, limited range): luma for each pixel, then U and V for each 2x2 block, of the pixels a
   * block has at an odd right or bottom edge.
   *
   * @param pixels the raster's array: {@code int[]} for the layouts 1 to 4, {@code byte[]} for 5
   *     to 7
   * @param pixelOffset the element of the first pixel
   * @param scanlineStride the elements from one row to the next, at least {@code width} times the
   *     elements of a pixel (1 for the int layouts, 3 or 4 for the byte layouts)
   * @param pixelLayout the {@code BufferedImage} type the array is laid out as: 1 {@code
   *     TYPE_INT_RGB}, 2 {@code TYPE_INT_ARGB}, 3 {@code TYPE_INT_ARGB_PRE}, 4 {@code TYPE_INT_BGR},
   *     5 {@code TYPE_3BYTE_BGR}, 6 {@code TYPE_4BYTE_ABGR}, 7 {@code TYPE_4BYTE_ABGR_PRE}; alpha is
   *     ignored, premultiplied colour is divided by it first as {@code getRGB} does
   * @param width the width in pixels, at least 1
   * @param height the height in pixels, at least 1
   * @param i420 the array the picture is written to: Y, then U and V of {@code ((width + 1) / 2) *
   *     ((height + 1) / 2)} bytes each
   * @param i420Offset where in {@code i420} the picture starts
   * @return 0, or -1 when an argument is out of range, an array is null, too short or of the wrong
   *     type, or both arrays are the same; nothing is written then
   */
  public static native int OpenH264TQConvertToI420(Object pixels, int pixelOffset,
      int scanlineStride, int pixelLayout, int width, int height, byte[] i420, int i420Offset);

  /**
   * Converts an I420 picture into RGB pixels {@code 0x00RRGGBB}, the raster of a {@code
   * TYPE_INT_RGB} image; each chroma sample covers its 2x2 block, and values outside 0 to 255 are
   * clipped.
   *
   * @param planes the array holding the three planes
   * @param yOffset where the Y plane starts
   * @param yStride the bytes from one Y row to the next, at least {@code width}
   * @param uOffset where the U plane starts
   * @param vOffset where the V plane starts
   * @param chromaStride the bytes from one U or V row to the next, at least {@code (width + 1) /
   *     2}
   * @param width the width in pixels, at least 1
   * @param height the height in pixels, at least 1
   * @param matrix the colour matrix, as H.264's {@code matrix_coefficients}: 1 BT.709, 6 BT.601
   * @param fullRange 0 for limited range (luma 16 to 235), 1 for full range (0 to 255)
   * @param rgb the array the pixels are written to
   * @param rgbOffset where in {@code rgb} the first pixel goes
   * @param rgbStride the ints from one row of pixels to the next, at least {@code width}
   * @return 0, or -1 when an argument is out of range or an array is null or too short; nothing is
   *     written then
   */
  public static native int OpenH264TQConvertI420ToRgb(byte[] planes, int yOffset, int yStride,
      int uOffset, int vOffset, int chromaStride, int width, int height, int matrix,
      int fullRange, int[] rgb, int rgbOffset, int rgbStride);
}
