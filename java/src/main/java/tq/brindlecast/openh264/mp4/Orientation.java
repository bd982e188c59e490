package tq.brindlecast.openh264.mp4;

/**
 * How a track's pictures are turned for display: a quarter-turn rotation, after an optional
 * mirroring left to right. Phones record upright video this way: the pictures keep the camera's
 * sensor orientation and the track's matrix ({@code tkhd}) turns them.
 *
 * <p>The matrix maps a picture's point (x, y), with y pointing down, to (a·x + c·y, b·x + d·y) on
 * screen. Matrices that are not one of these eight (shears, other angles) are read as {@link
 * #NORMAL}: players differ on them, and most show them unturned.
 */
public enum Orientation {
  /** Shown as decoded. */
  NORMAL(0, false),
  /** Turned a quarter clockwise. */
  ROTATE_90(90, false),
  /** Upside down. */
  ROTATE_180(180, false),
  /** Turned a quarter counter-clockwise. */
  ROTATE_270(270, false),
  /** Mirrored left to right. */
  MIRROR(0, true),
  /** Mirrored left to right, then turned a quarter clockwise. */
  MIRROR_ROTATE_90(90, true),
  /** Mirrored left to right, then upside down: mirrored top to bottom. */
  MIRROR_ROTATE_180(180, true),
  /** Mirrored left to right, then turned a quarter counter-clockwise. */
  MIRROR_ROTATE_270(270, true);

  private static final int ONE = 0x10000; // 1.0 in the matrix's 16.16 fixed point

  private final int degrees;
  private final boolean mirrored;

  Orientation(int degrees, boolean mirrored) {
    this.degrees = degrees;
    this.mirrored = mirrored;
  }

  /** {@return the clockwise rotation in degrees: 0, 90, 180 or 270} */
  public int degrees() {
    return degrees;
  }

  /** {@return whether the picture is mirrored left to right before it is rotated} */
  public boolean mirrored() {
    return mirrored;
  }

  /** {@return whether width and height change places on screen (a quarter turn)} */
  public boolean swapsSides() {
    return degrees % 180 != 0;
  }

  /**
   * {@return the orientation of a rotation and mirroring}
   *
   * @param degrees the clockwise rotation: 0, 90, 180 or 270, or the same turned by whole turns
   *     (-90 is 270)
   * @param mirrored whether the picture is mirrored left to right first
   * @throws IllegalArgumentException if {@code degrees} is not a multiple of 90
   */
  public static Orientation of(int degrees, boolean mirrored) {
    if (degrees % 90 != 0) {
      throw new IllegalArgumentException(
          "a rotation must be a multiple of 90 degrees, was " + degrees);
    }
    int quarter = Math.floorMod(degrees, 360) / 90;
    return values()[(mirrored ? 4 : 0) + quarter];
  }

  /**
   * Reads a track matrix's rotation part, {@code a b c d} in 16.16 fixed point: only their signs
   * and which are zero count, so scaled matrices read alike.
   */
  static Orientation fromMatrix(int a, int b, int c, int d) {
    for (Orientation orientation : values()) {
      int[] m = orientation.matrix();
      if (Integer.signum(a) == Integer.signum(m[0]) && Integer.signum(b) == Integer.signum(m[1])
          && Integer.signum(c) == Integer.signum(m[2])
          && Integer.signum(d) == Integer.signum(m[3])) {
        return orientation;
      }
    }
    return NORMAL;
  }

  /** {@return {@code a b c d} of the track matrix, in 16.16 fixed point} */
  int[] matrix() {
    // Rotation clockwise (y down) after the mirror: [cos -sin; sin cos] · [m 0; 0 1].
    int cos = degrees == 0 ? 1 : degrees == 180 ? -1 : 0;
    int sin = degrees == 90 ? 1 : degrees == 270 ? -1 : 0;
    int mirror = mirrored ? -1 : 1;
    return new int[] {cos * mirror * ONE, sin * mirror * ONE, -sin * ONE, cos * ONE};
  }

  /** {@return how {@code info} describes it, e.g. "rotated 90° clockwise"} */
  public String description() {
    String turn =
        switch (degrees) {
          case 90 -> "rotated 90° clockwise";
          case 180 -> "rotated 180°";
          case 270 -> "rotated 90° counter-clockwise";
          default -> "";
        };
    if (!mirrored) {
      return degrees == 0 ? "as decoded" : turn;
    }
    return degrees == 0 ? "mirrored left to right" : "mirrored left to right, then " + turn;
  }
}
