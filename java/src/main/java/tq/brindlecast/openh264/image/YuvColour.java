package tq.brindlecast.openh264.image;

import java.util.Objects;

/**
 * How the Y, U and V samples of a picture stand for RGB colours: the matrix that mixes red, green
 * and blue into luma and chroma, and the range the samples use.
 *
 * <p>A stream says which in its SPS's VUI ({@code matrix_coefficients}, {@code
 * video_full_range_flag}) or, in an MP4 file, in its {@code colr} box; {@link #of(int, boolean)}
 * turns those codes into a value. Streams that say nothing are BT.601 in limited range ({@link
 * #BT601_LIMITED}), the convention of H.264 cameras and of what OpenH264 writes by default.
 *
 * @param matrix the matrix
 * @param fullRange true when samples use 0 to 255; false for limited range (luma 16 to 235,
 *     chroma 16 to 240)
 */
public record YuvColour(Matrix matrix, boolean fullRange) {
  /** BT.601 in limited range: what a stream that says nothing about its colour uses. */
  public static final YuvColour BT601_LIMITED = new YuvColour(Matrix.BT601, false);

  /** The {@code matrix_coefficients} code of BT.709. */
  private static final int CODE_BT709 = 1;

  /**
   * The matrices, by the weights of red and blue in luma (green's is what is left).
   */
  public enum Matrix {
    /** ITU-R BT.601 (standard definition; {@code matrix_coefficients} 5 and 6). */
    BT601(0.299, 0.114, 6),
    /** ITU-R BT.709 (high definition; {@code matrix_coefficients} 1). */
    BT709(0.2126, 0.0722, 1);

    private final double kr;
    private final double kb;
    private final int code;

    Matrix(double kr, double kb, int code) {
      this.kr = kr;
      this.kb = kb;
      this.code = code;
    }

    /**
     * {@return the code a stream's VUI or {@code colr} box gives this matrix with, and its
     * primaries and transfer characteristics: 6 (SMPTE 170M, BT.601's 525-line form) or 1
     * (BT.709)}
     */
    public int code() {
      return code;
    }

    /** {@return the weight of red in luma} */
    public double kr() {
      return kr;
    }

    /** {@return the weight of blue in luma} */
    public double kb() {
      return kb;
    }
  }

  /**
   * Checks the matrix.
   *
   * @param matrix the matrix
   * @param fullRange true for full range, false for limited range
   * @throws NullPointerException if {@code matrix} is null
   */
  public YuvColour {
    Objects.requireNonNull(matrix, "matrix must not be null");
  }

  /**
   * {@return the colour a stream's codes give}, BT.601 for every matrix code other than BT.709's
   * (unspecified, BT.601's own and those this library does not convert)
   *
   * @param matrixCoefficients the {@code matrix_coefficients} code of the VUI or {@code colr} box
   * @param fullRange the {@code video_full_range_flag}
   */
  public static YuvColour of(int matrixCoefficients, boolean fullRange) {
    return new YuvColour(matrixCoefficients == CODE_BT709 ? Matrix.BT709 : Matrix.BT601,
        fullRange);
  }
}
