package tq.brindlecast.openh264;

import java.util.Arrays;
import java.util.Objects;
import tq.brindlecast.openh264.bitstream.AnnexB;
import tq.brindlecast.openh264.bitstream.NalUnit;
import tq.brindlecast.openh264.bitstream.SequenceParameterSet;

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
 * ({@link #needsKeyFrame()}); the next buffer that decodes clears it. {@link #decodeAccessUnit}
 * tells the two kinds of null apart in one call, and gives the reason of a failure when the
 * stream's sequence parameter set shows one (a feature OpenH264 does not decode):
 *
 * <pre>{@code
 * DecodeResult result = decoder.decodeAccessUnit(accessUnit);
 * switch (result.status()) {
 *   case PICTURE -> show(result.picture());
 *   case NO_PICTURE_YET -> { }                        // parameter sets, or a picture held back
 *   case FAILED -> log(result.reason());              // reason may be null when not known
 * }
 * }</pre>
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
  private volatile SequenceParameterSet sequenceParameterSet;
  private volatile String parameterSetProblem;

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
    return decodeAccessUnit(data, offset, length, output).picture();
  }

  /**
   * Decodes a buffer of H.264 bytes and tells whether it gave a picture, gave none yet, or could
   * not be decoded, with the reason when one is known.
   *
   * @param data the bytes, best one whole access unit
   * @return the outcome; an empty array gives {@link DecodeResult.Status#NO_PICTURE_YET}
   * @throws NullPointerException if {@code data} is null
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodeResult decodeAccessUnit(byte[] data) {
    Objects.requireNonNull(data, "data must not be null");
    return decodeAccessUnit(data, 0, data.length, null);
  }

  /**
   * Decodes part of an array of H.264 bytes, into {@code output} when it fits (as {@link
   * #decode(byte[], int, int, byte[])} does), and tells whether it gave a picture, gave none yet,
   * or could not be decoded, with the reason when one is known.
   *
   * <p>The decoder reads the sequence parameter sets it is handed. When a buffer fails on a
   * stream OpenH264 cannot decode (interlaced, 4:2:2, 4:4:4, more than 8 bits, lossless), the
   * reason names the feature, e.g. "interlaced coding (frame_mbs_only_flag 0) is not supported
   * by OpenH264".
   *
   * @param data the array
   * @param offset where the bytes start
   * @param length how many bytes to decode; 0 decodes nothing
   * @param output an array to write the picture into, or null to allocate a new one
   * @return the outcome
   * @throws NullPointerException if {@code data} is null
   * @throws IndexOutOfBoundsException if the range does not lie inside {@code data}
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodeResult decodeAccessUnit(byte[] data, int offset, int length, byte[] output) {
    return decodeAccessUnit(data, offset, length, output, null);
  }

  /**
   * Decodes part of an array of H.264 bytes as {@link #decodeAccessUnit(byte[], int, int,
   * byte[])} does, and writes a picture that comes out straight into {@code pixels}, converted
   * from the decoder's own planes without copying them first: the fastest way from H.264 to an
   * RGB image. The result is then {@link DecodeResult.Status#PICTURE_IN_PIXELS}, and {@code
   * pixels} holds the picture's size. A picture whose rows do not fit into {@code pixels} comes
   * back as planes ({@link DecodeResult.Status#PICTURE}).
   *
   * @param data the array
   * @param offset where the bytes start
   * @param length how many bytes to decode; 0 decodes nothing
   * @param pixels where a picture goes, and its colour matrix and range
   * @return the outcome
   * @throws NullPointerException if {@code data} or {@code pixels} is null
   * @throws IndexOutOfBoundsException if the range does not lie inside {@code data}
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodeResult decodeIntoPixels(byte[] data, int offset, int length, RgbPixels pixels) {
    Objects.requireNonNull(pixels, "pixels must not be null");
    return decodeAccessUnit(data, offset, length, null, pixels);
  }

  private DecodeResult decodeAccessUnit(
      byte[] data, int offset, int length, byte[] output, RgbPixels pixels) {
    Objects.requireNonNull(data, "data must not be null");
    Objects.checkFromIndexSize(offset, length, data.length);
    if (length == 0) {
      context.checkOpen();
      return new DecodeResult(DecodeResult.Status.NO_PICTURE_YET, null, null);
    }
    // The library reads from the start of the array.
    byte[] bitstream = offset == 0 ? data : Arrays.copyOfRange(data, offset, offset + length);
    return context.call(
        handle -> {
          readParameterSets(bitstream, length);
          Native.offerOutput(output);
          DecodeResult produced;
          try {
            produced = decodeNative(handle, bitstream, length, pixels);
          } finally {
            Native.offerOutput(null);
          }
          if (produced != null) {
            return produced;
          }
          if (Native.OpenH264TQDecoderGetNeedsKeyFrame(handle) == 0) {
            return new DecodeResult(DecodeResult.Status.NO_PICTURE_YET, null, null);
          }
          return new DecodeResult(DecodeResult.Status.FAILED, null, failureReason());
        });
  }

  /**
   * {@return the sequence parameter set most recently handed to this decoder, or null when none has
   * been (or the last one could not be parsed)}
   *
   * @throws IllegalStateException if the decoder is closed
   */
  public SequenceParameterSet sequenceParameterSet() {
    context.checkOpen();
    return sequenceParameterSet;
  }

  /**
   * {@return a picture the decoder still holds at the end of the stream, or null when it holds
   * none} Call it until it returns null.
   *
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodedPicture drain() {
    DecodeResult held = context.call(handle -> decodeNative(handle, null, 0, null));
    return held == null ? null : held.picture();
  }

  /**
   * Asks, as {@link #drain()} does, for a picture the decoder still holds at the end of the
   * stream, and writes it into {@code pixels} when its rows fit there. Call it until it returns
   * {@link DecodeResult.Status#NO_PICTURE_YET}.
   *
   * @param pixels where a picture goes, and its colour matrix and range
   * @return {@link DecodeResult.Status#PICTURE_IN_PIXELS}, {@link DecodeResult.Status#PICTURE}
   *     for a picture that does not fit, or {@link DecodeResult.Status#NO_PICTURE_YET} when the
   *     decoder holds none
   * @throws NullPointerException if {@code pixels} is null
   * @throws CodecException if the OpenH264 decoder could not be brought up
   * @throws IllegalStateException if the decoder is closed
   */
  public DecodeResult drainIntoPixels(RgbPixels pixels) {
    Objects.requireNonNull(pixels, "pixels must not be null");
    DecodeResult produced = context.call(handle -> decodeNative(handle, null, 0, pixels));
    return produced != null
        ? produced
        : new DecodeResult(DecodeResult.Status.NO_PICTURE_YET, null, null);
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
          sequenceParameterSet = null; // the fresh decoder needs the parameter sets again
          parameterSetProblem = null;
          return null;
        });
  }

  /**
   * {@return a copy of the current settings}
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
   * @return true while a key frame is needed
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

  /**
   * Parses the sequence parameter sets at the head of a buffer. They come before the first slice
   * of an access unit, so the scan stops there and never walks the picture data.
   */
  private void readParameterSets(byte[] data, int length) {
    int start = AnnexB.findStartCode(data, 0, length);
    while (start >= 0 && start + 3 < length) {
      int header = start + 3;
      int type = NalUnit.typeOf(data[header]);
      if (type == NalUnit.TYPE_SLICE || type == NalUnit.TYPE_IDR
          || type == NalUnit.TYPE_SLICE_EXTENSION) {
        return;
      }
      int next = AnnexB.findStartCode(data, header, length);
      if (type == NalUnit.TYPE_SPS) {
        int end = next < 0 ? length : next;
        try {
          sequenceParameterSet = SequenceParameterSet.parse(data, header, end - header);
          parameterSetProblem = null;
        } catch (IllegalArgumentException malformed) {
          sequenceParameterSet = null;
          parameterSetProblem =
              "the sequence parameter set is malformed: " + malformed.getMessage();
        }
      }
      start = next;
    }
  }

  /** Why the stream does not decode, as far as its parameter sets tell; null when they do not. */
  private String failureReason() {
    SequenceParameterSet sps = sequenceParameterSet;
    if (sps != null) {
      String feature = sps.unsupportedFeature();
      return feature == null ? null : feature + " is not supported by OpenH264";
    }
    if (parameterSetProblem != null) {
      return parameterSetProblem;
    }
    return "no sequence parameter set has come before; a stream must start at an IDR picture"
        + " with its parameter sets";
  }

  private static Void store(long handle, DecoderConfig config) {
    int code = Native.OpenH264TQDecoderSetConfig(handle, config);
    if (code != 0) {
      throw new CodecException("the decoder configuration was refused (code " + code + ")");
    }
    return null;
  }

  /** One native decoding call: the picture it gave, as planes or in {@code pixels}, or null. */
  private static DecodeResult decodeNative(
      long handle, byte[] bitstream, int length, RgbPixels pixels) {
    int[] width = new int[1];
    int[] height = new int[1];
    int[] strides = new int[3];
    int[] planeSizes = new int[3];
    int[] planeCount = {-1};
    byte[] data =
        pixels == null
            ? Native.OpenH264TQDecoderDecode(
                handle, bitstream, length, width, height, strides, planeSizes, planeCount)
            : Native.OpenH264TQDecoderDecodeToRgb(handle, bitstream, length, width, height,
                strides, planeSizes, planeCount, pixels.pixels(), pixels.offset(),
                pixels.stride(), pixels.matrix(), pixels.fullRange() ? 1 : 0);
    if (data != null) {
      return new DecodeResult(DecodeResult.Status.PICTURE, new DecodedPicture(width[0],
          height[0], strides[0], strides[1], planeSizes[0], planeSizes[1], data), null);
    }
    if (pixels != null && planeCount[0] == 0) {
      pixels.written(width[0], height[0]);
      return new DecodeResult(DecodeResult.Status.PICTURE_IN_PIXELS, null, null);
    }
    return null;
  }
}
