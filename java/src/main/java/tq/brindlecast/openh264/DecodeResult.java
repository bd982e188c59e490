package tq.brindlecast.openh264;

import java.util.Objects;

/**
 * What one {@link H264Decoder#decodeAccessUnit} call did: it returned a picture, it decoded the
 * buffer but no picture is ready yet, or it could not decode the buffer.
 *
 * @param status which of the three happened
 * @param picture the picture when {@code status} is {@link Status#PICTURE}, otherwise null
 * @param reason when {@code status} is {@link Status#FAILED}, why, in plain words, if the decoder
 *     can tell (for example a stream feature OpenH264 does not decode); otherwise null
 */
public record DecodeResult(Status status, DecodedPicture picture, String reason) {
  /** The outcome of decoding one buffer. */
  public enum Status {
    /** The buffer completed a picture, or released one held back. */
    PICTURE,
    /**
     * The buffer completed a picture, or released one held back, and it was written into the
     * {@link RgbPixels} the call was given; there is no picture in the result.
     */
    PICTURE_IN_PIXELS,
    /** The buffer decoded, but no picture is ready: parameter sets only, or a held-back picture. */
    NO_PICTURE_YET,
    /** The buffer could not be decoded; the key-frame request is raised. */
    FAILED
  }

  /**
   * Checks that the picture is present exactly when the status says so.
   *
   * @param status which of the three happened
   * @param picture the picture when {@code status} is {@link Status#PICTURE}, otherwise null
   * @param reason when {@code status} is {@link Status#FAILED}, why, if the decoder can tell;
   *     otherwise null
   * @throws NullPointerException if {@code status} is null
   * @throws IllegalArgumentException if {@code picture} does not fit {@code status}
   */
  public DecodeResult {
    Objects.requireNonNull(status, "status must not be null");
    if ((status == Status.PICTURE) != (picture != null)) {
      throw new IllegalArgumentException(
          "a " + status + " result " + (picture == null ? "needs" : "has no") + " picture");
    }
  }

  /** {@return whether the buffer could not be decoded} */
  public boolean failed() {
    return status == Status.FAILED;
  }
}
