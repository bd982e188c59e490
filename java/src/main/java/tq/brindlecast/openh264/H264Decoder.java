package tq.brindlecast.openh264;

import java.util.Arrays;
import java.util.Objects;

/**
 * Decodes H.264 (Annex B) into I420 pictures with OpenH264.
 *
 * <pre>{@code
 * try (H264Decoder decoder = new H264Decoder()) {
 *   for (byte[] accessUnit : accessUnits) {          // one picture's NAL units per buffer
 *     DecodedPicture picture = decoder.decode(accessUnit);
 *     if (picture != null) {
 *       show(picture);
 *     } else if (decoder.needsKeyFrame()) {
 *       askSenderForKeyFrame();
 *     }
 *   }
 *   for (DecodedPicture p; (p = decoder.drain()) != null; ) {
 *     show(p);                                        // pictures held back until the end
 *   }
 * }
 * }</pre>
 *
 * <p>Hand the decoder whole access units (all NAL units of one picture): a buffer that completes
 * a picture returns it at once. Main and High profile streams may hold a picture back until the
 * next one arrives, so at the end of the stream call {@link #drain()} until it returns null.
 *
 * <p>The OpenH264 decoder is brought up by the first {@link #decode} and again after {@link
 * #reconfigure}. A buffer that cannot be decoded gives null and raises the key-frame request
 * ({@link #needsKeyFrame()}); the next buffer that decodes clears it.
 *
 * <p>Every method checks its arguments before it reaches the native library. Calls on one decoder
 * are serialised, so it may be shared between threads; different decoders run in parallel. The
 * library's messages go to the listener given to the constructor, or without one to the {@link
 * System.Logger} named {@code tq.brindlecast.openh264} (errors at {@code ERROR}, the rest at {@code
 * DEBUG}). {@link #close()} frees the native decoder; a decoder that is never closed is freed once
 * it is unreachable.
 */
public final class H264Decoder implements AutoCloseable {
  private final NativeContext context;
  private volatile DecoderConfig config;

  /**
   * Creates a decoder with the default {@link DecoderConfig}, which decodes every stream OpenH264
   * can decode; messages go to the logger.
   *
   * @throws CodecException if the native context could not be created
   */
  public H264Decoder() {
    this(new DecoderConfig(), null);
  }

  /**
   * Creates a decoder.
   *
   * @param config the decoder settings, copied
   * @param listener receives this decoder's messages; null sends them to the logger
   * @throws NullPointerException if {@code config} is null
   * @throws CodecException if the native context could not be created or configured
   */
  public H264Decoder(DecoderConfig config, MessageListener listener) {
    DecoderConfig configCopy = Objects.requireNonNull(config, "config must not be null").copy();
    this.context =
        new NativeContext(
            this,
            "H264Decoder",
            () -> Native.OpenH264TQDecoderCreate(null, null, null, null),
            Native::OpenH264TQDecoderDestroy,
            listener);
    try {
      context.call(handle -> store(handle, configCopy));
    } catch (RuntimeException failure) {
      context.close();
      throw failure;
    }
    this.config = configCopy;
  }

  /**
   * Decodes a buffer of H.264 bytes.
   *
   * @param data the bytes, best one whole access unit; an empty array decodes nothing
   * @return the picture the buffer completed, or null when none is ready or the buffer could not
   *     be decoded (then {@link #needsKeyFrame()} is true)
   * @throws NullPointerException if {@code data} is null
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodedPicture decode(byte[] data) {
    Objects.requireNonNull(data, "data must not be null");
    return decode(data, 0, data.length);
  }

  /**
   * Decodes part of an array of H.264 bytes.
   *
   * @param data the array
   * @param offset where the bytes start
   * @param length how many bytes to decode; 0 decodes nothing
   * @return the picture the bytes completed, or null when none is ready or the bytes could not be
   *     decoded (then {@link #needsKeyFrame()} is true)
   * @throws NullPointerException if {@code data} is null
   * @throws IndexOutOfBoundsException if the range does not lie inside {@code data}
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodedPicture decode(byte[] data, int offset, int length) {
    return decode(data, offset, length, null);
  }

  /**
   * Decodes part of an array of H.264 bytes into an array the caller hands back for reuse, which
   * spares allocating (and zeroing) a new array for every picture.
   *
   * <p>{@code output} receives the picture when its length is exactly the number of bytes the
   * picture's planes take, as the {@link DecodedPicture#data()} of an earlier picture of the same
   * size does; the returned picture's {@code data()} is then {@code output} itself, and whatever
   * it held before (such as that earlier picture) is overwritten. Otherwise the picture comes in
   * a new array and {@code output} is left alone. Hand back only an array nothing else still
   * reads.
   *
   * <pre>{@code
   * byte[] reuse = null;
   * for (byte[] accessUnit : accessUnits) {
   *   DecodedPicture picture = decoder.decode(accessUnit, 0, accessUnit.length, reuse);
   *   if (picture != null) {
   *     show(picture);                                 // done with it before the next decode
   *     reuse = picture.data();
   *   }
   * }
   * }</pre>
   *
   * @param data the array
   * @param offset where the bytes start
   * @param length how many bytes to decode; 0 decodes nothing
   * @param output an array to write the picture into, or null to allocate a new one
   * @return the picture the bytes completed, or null when none is ready or the bytes could not be
   *     decoded (then {@link #needsKeyFrame()} is true)
   * @throws NullPointerException if {@code data} is null
   * @throws IndexOutOfBoundsException if the range does not lie inside {@code data}
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodedPicture decode(byte[] data, int offset, int length, byte[] output) {
    Objects.requireNonNull(data, "data must not be null");
    Objects.checkFromIndexSize(offset, length, data.length);
    if (length == 0) {
      context.checkOpen();
      return null;
    }
    // The library reads from the start of the array.
    byte[] bitstream = offset == 0 ? data : Arrays.copyOfRange(data, offset, offset + length);
    return context.call(
        handle -> {
          Native.offerOutput(output);
          try {
            return decodeNative(handle, bitstream, length);
          } finally {
            Native.offerOutput(null);
          }
        });
  }

  /**
   * Returns a picture the decoder still holds at the end of the stream, or null when it holds
   * none. Call it until it returns null.
   *
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodedPicture drain() {
    return context.call(handle -> decodeNative(handle, null, 0));
  }

  /**
   * Replaces the configuration; the next {@link #decode} brings up a fresh OpenH264 decoder with
   * it, so the stream must then start again at an IDR picture.
   *
   * @param config the new settings, copied
   * @throws NullPointerException if {@code config} is null
   * @throws CodecException if the configuration was refused
   * @throws IllegalStateException if the decoder is closed
   */
  public void reconfigure(DecoderConfig config) {
    DecoderConfig configCopy = Objects.requireNonNull(config, "config must not be null").copy();
    context.call(
        handle -> {
          store(handle, configCopy);
          this.config = configCopy;
          return null;
        });
  }

  /**
   * Returns a copy of the current settings.
   *
   * @throws IllegalStateException if the decoder is closed
   */
  public DecoderConfig getConfig() {
    context.checkOpen();
    return config.copy();
  }

  /**
   * Tells whether the last buffer could not be decoded, so that the sender should be asked for a
   * key frame. It stays set until a buffer decodes or {@link #clearKeyFrameRequest()} is called.
   *
   * @throws IllegalStateException if the decoder is closed
   */
  public boolean needsKeyFrame() {
    return context.call(Native::OpenH264TQDecoderGetNeedsKeyFrame) != 0;
  }

  /**
   * Clears the key-frame request, for example once a key frame has been asked for.
   *
   * @throws IllegalStateException if the decoder is closed
   */
  public void clearKeyFrameRequest() {
    context.call(
        handle -> {
          Native.OpenH264TQDecoderSetNeedsKeyFrame(handle, 0);
          return null;
        });
  }

  /**
   * Frees the native decoder. Later calls throw {@link IllegalStateException}; closing again does
   * nothing.
   */
  @Override
  public void close() {
    context.close();
  }

  private static Void store(long handle, DecoderConfig config) {
    int code = Native.OpenH264TQDecoderSetConfig(handle, config);
    if (code != 0) {
      throw new CodecException("the decoder configuration was refused (code " + code + ")");
    }
    return null;
  }

  private static DecodedPicture decodeNative(long handle, byte[] bitstream, int length) {
    int[] width = new int[1];
    int[] height = new int[1];
    int[] strides = new int[3];
    int[] planeSizes = new int[3];
    int[] planeCount = new int[1];
    byte[] data =
        Native.OpenH264TQDecoderDecode(
            handle, bitstream, length, width, height, strides, planeSizes, planeCount);
    if (data == null) {
      return null;
    }
    return new DecodedPicture(
        width[0], height[0], strides[0], strides[1], planeSizes[0], planeSizes[1], data);
  }
}
