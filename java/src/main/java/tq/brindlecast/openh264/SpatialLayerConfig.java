package tq.brindlecast.openh264;

/**
 * The settings of one spatial layer of an encoded stream: frame rate, profile and level, slicing,
 * and the video signal description and sample aspect ratio written into the stream. The native
 * library reads this object through its getters, which return the plain numbers OpenH264 takes:
 * {@code int} (0 or 1 for switches), {@code float}, {@code char} for the colour description codes,
 * and an {@code int[35]} of slice sizes.
 *
 * <p>A new object holds OpenH264's own layer defaults, except that the frame rate is 30 instead of
 * 60; profile and level are left to the encoder. Each setter refuses values that can never be valid
 * and returns this object for chaining; OpenH264 checks the rest when it initialises an encoder.
 *
 * <p>Instances are mutable and not thread-safe; {@link #copy()} gives an independent snapshot.
 */
public class SpatialLayerConfig {
  /** The number of slice macroblock counts, OpenH264's {@code MAX_SLICES_NUM_TMP}. */
  public static final int SLICE_MB_NUM_LENGTH = 35;

  /** Video format code meaning "unspecified" (H.264 video_format 5). */
  public static final int VIDEO_FORMAT_UNSPECIFIED = 5;

  /** Colour primaries, transfer characteristics and matrix code meaning "unspecified" (2). */
  public static final int COLOUR_UNSPECIFIED = 2;

  private float frameRate = 30f;
  private Profile profileIdc = Profile.AUTO;
  private Level levelIdc = Level.AUTO;
  private int dLayerQp = 26;
  private SliceMode sliceMode = SliceMode.SINGLE_SLICE;
  private int sliceNum = 0;
  private int[] sliceMBNum = new int[SLICE_MB_NUM_LENGTH];
  private int sliceSizeConstraint = 1500;
  private boolean videoSignalTypePresent = false;
  private int videoFormat = VIDEO_FORMAT_UNSPECIFIED;
  private boolean fullRange = false;
  private boolean colorDescriptionPresent = false;
  private int colorPrimaries = COLOUR_UNSPECIFIED;
  private int transferCharacteristics = COLOUR_UNSPECIFIED;
  private int colorMatrix = COLOUR_UNSPECIFIED;
  private boolean aspectRatioPresent = false;
  private AspectRatio aspectRatio = AspectRatio.UNSPECIFIED;
  private int aspectRatioExtWidth = 0;
  private int aspectRatioExtHeight = 0;

  /** Creates a layer configuration with the default settings. */
  public SpatialLayerConfig() {}

  /** {@return an independent copy of this configuration; the slice array is copied too} */
  public SpatialLayerConfig copy() {
    SpatialLayerConfig c = new SpatialLayerConfig();
    c.frameRate = frameRate;
    c.profileIdc = profileIdc;
    c.levelIdc = levelIdc;
    c.dLayerQp = dLayerQp;
    c.sliceMode = sliceMode;
    c.sliceNum = sliceNum;
    c.sliceMBNum = sliceMBNum.clone();
    c.sliceSizeConstraint = sliceSizeConstraint;
    c.videoSignalTypePresent = videoSignalTypePresent;
    c.videoFormat = videoFormat;
    c.fullRange = fullRange;
    c.colorDescriptionPresent = colorDescriptionPresent;
    c.colorPrimaries = colorPrimaries;
    c.transferCharacteristics = transferCharacteristics;
    c.colorMatrix = colorMatrix;
    c.aspectRatioPresent = aspectRatioPresent;
    c.aspectRatio = aspectRatio;
    c.aspectRatioExtWidth = aspectRatioExtWidth;
    c.aspectRatioExtHeight = aspectRatioExtHeight;
    return c;
  }

  private static int flag(boolean on) {
    return on ? 1 : 0;
  }

  // Getters read by the native library. Those that code an enumeration or a switch as a number
  // are package-private: JNI finds them by name and signature all the same, and callers read the
  // typed accessors beside them.

  /** {@return the frame rate of this layer in pictures per second} */
  public float getFrameRate() {
    return frameRate;
  }

  /** {@return the profile_idc; 0 lets the encoder choose} See {@link Profile}. */
  int getProfileIdc() {
    return profileIdc.value();
  }

  /** {@return the {@link Profile} set} */
  public Profile profileIdc() {
    return profileIdc;
  }

  /** {@return the level number; 0 lets the encoder choose} See {@link Level}. */
  int getLevelIdc() {
    return levelIdc.value();
  }

  /** {@return the {@link Level} set} */
  public Level levelIdc() {
    return levelIdc;
  }

  /** {@return the quantisation parameter used when rate control does not choose one} */
  public int getDLayerQp() {
    return dLayerQp;
  }

  /** {@return the slice mode as OpenH264 numbers it; see {@link SliceMode}} */
  int getSliceMode() {
    return sliceMode.value();
  }

  /** {@return the {@link SliceMode} set} */
  public SliceMode sliceMode() {
    return sliceMode;
  }

  /** {@return the number of slices for {@link SliceMode#FIXED_SLICE_NUMBER}; 0 means automatic} */
  public int getSliceNum() {
    return sliceNum;
  }

  /** {@return a copy of the 35 macroblock counts per slice used by {@link SliceMode#RASTER}} */
  public int[] getSliceMBNum() {
    return sliceMBNum.clone();
  }

  /** {@return the largest slice in bytes for {@link SliceMode#SIZE_LIMITED}} */
  public int getSliceSizeConstraint() {
    return sliceSizeConstraint;
  }

  /** {@return 1 when the video signal type is written, else 0} */
  int getVideoSignalTypePresent() {
    return flag(videoSignalTypePresent);
  }

  /** {@return whether {@code videoSignalTypePresent} is on} */
  public boolean videoSignalTypePresent() {
    return videoSignalTypePresent;
  }

  /** {@return the H.264 video_format code (5: unspecified)} */
  public char getVideoFormat() {
    return (char) videoFormat;
  }

  /** {@return 1 when the samples use the full range 0 to 255, else 0} */
  int getFullRange() {
    return flag(fullRange);
  }

  /** {@return whether {@code fullRange} is on} */
  public boolean fullRange() {
    return fullRange;
  }

  /** {@return 1 when the colour description is written, else 0} */
  int getColorDescriptionPresent() {
    return flag(colorDescriptionPresent);
  }

  /** {@return whether {@code colorDescriptionPresent} is on} */
  public boolean colorDescriptionPresent() {
    return colorDescriptionPresent;
  }

  /** {@return the H.264 colour_primaries code (2: unspecified)} */
  public char getColorPrimaries() {
    return (char) colorPrimaries;
  }

  /** {@return the H.264 transfer_characteristics code (2: unspecified)} */
  public char getTransferCharacteristics() {
    return (char) transferCharacteristics;
  }

  /** {@return the H.264 matrix_coefficients code (2: unspecified)} */
  public char getColorMatrix() {
    return (char) colorMatrix;
  }

  /** {@return 1 when the sample aspect ratio is written, else 0} */
  int getAspectRatioPresent() {
    return flag(aspectRatioPresent);
  }

  /** {@return whether {@code aspectRatioPresent} is on} */
  public boolean aspectRatioPresent() {
    return aspectRatioPresent;
  }

  /** {@return the aspect_ratio_idc; see {@link AspectRatio}} */
  int getAspectRatio() {
    return aspectRatio.value();
  }

  /** {@return the {@link AspectRatio} set} */
  public AspectRatio aspectRatio() {
    return aspectRatio;
  }

  /** {@return the sample aspect ratio width used with {@link AspectRatio#EXTENDED_SAR}} */
  public int getAspectRatioExtWidth() {
    return aspectRatioExtWidth;
  }

  /** {@return the sample aspect ratio height used with {@link AspectRatio#EXTENDED_SAR}} */
  public int getAspectRatioExtHeight() {
    return aspectRatioExtHeight;
  }

  // Setters.

  /**
   * Sets the frame rate of this layer; it must be above 0 and finite.
   *
   * @param frameRate the frame rate of this layer; it must be above 0 and finite
   * @return this configuration
   */
  public SpatialLayerConfig setFrameRate(float frameRate) {
    this.frameRate = Checks.positiveFinite("frameRate", frameRate);
    return this;
  }

  /**
   * Sets the profile, or {@link Profile#AUTO} to let the encoder choose.
   *
   * @param profileIdc the profile, or {@link Profile#AUTO} to let the encoder choose
   * @return this configuration
   */
  public SpatialLayerConfig setProfileIdc(Profile profileIdc) {
    this.profileIdc = Checks.notNull("profileIdc", profileIdc);
    return this;
  }

  /**
   * Sets the level, or {@link Level#AUTO} to let the encoder choose.
   *
   * @param levelIdc the level, or {@link Level#AUTO} to let the encoder choose
   * @return this configuration
   */
  public SpatialLayerConfig setLevelIdc(Level levelIdc) {
    this.levelIdc = Checks.notNull("levelIdc", levelIdc);
    return this;
  }

  /**
   * Sets the quantisation parameter used when rate control does not choose one, 0 to 51.
   *
   * @param dLayerQp the quantisation parameter used when rate control does not choose one, 0 to 51
   * @return this configuration
   */
  public SpatialLayerConfig setDLayerQp(int dLayerQp) {
    this.dLayerQp = Checks.inRange("dLayerQp", dLayerQp, 0, EncoderConfig.MAX_QP);
    return this;
  }

  /**
   * Sets the slice mode.
   *
   * @param sliceMode the slice mode
   * @return this configuration
   */
  public SpatialLayerConfig setSliceMode(SliceMode sliceMode) {
    this.sliceMode = Checks.notNull("sliceMode", sliceMode);
    return this;
  }

  /**
   * Sets the slice count for {@link SliceMode#FIXED_SLICE_NUMBER}, 0 or more (0: automatic).
   *
   * @param sliceNum the slice count for {@link SliceMode#FIXED_SLICE_NUMBER}, 0 or more (0:
   *     automatic)
   * @return this configuration
   */
  public SpatialLayerConfig setSliceNum(int sliceNum) {
    this.sliceNum = Checks.atLeast("sliceNum", sliceNum, 0);
    return this;
  }

  /**
   * Sets the macroblock count of each slice for {@link SliceMode#RASTER}. The array must have
   * exactly 35 entries, none negative; it is copied.
   *
   * @param sliceMBNum the macroblock count of each slice for {@link SliceMode#RASTER}
   * @return this configuration
   */
  public SpatialLayerConfig setSliceMBNum(int[] sliceMBNum) {
    Checks.notNull("sliceMBNum", sliceMBNum);
    if (sliceMBNum.length != SLICE_MB_NUM_LENGTH) {
      throw new IllegalArgumentException(
          "sliceMBNum must have exactly "
              + SLICE_MB_NUM_LENGTH
              + " entries, was an array of "
              + sliceMBNum.length);
    }
    int[] copy = sliceMBNum.clone();
    for (int i = 0; i < copy.length; i++) {
      Checks.atLeast("sliceMBNum[" + i + "]", copy[i], 0);
    }
    this.sliceMBNum = copy;
    return this;
  }

  /**
   * Sets the largest slice in bytes for {@link SliceMode#SIZE_LIMITED}, 0 or more.
   *
   * @param sliceSizeConstraint the largest slice in bytes for {@link SliceMode#SIZE_LIMITED}, 0 or
   *     more
   * @return this configuration
   */
  public SpatialLayerConfig setSliceSizeConstraint(int sliceSizeConstraint) {
    this.sliceSizeConstraint = Checks.atLeast("sliceSizeConstraint", sliceSizeConstraint, 0);
    return this;
  }

  /**
   * Sets whether the video signal type (format, range, colour description) is written.
   *
   * @param videoSignalTypePresent whether the video signal type (format, range, colour description)
   *     is written
   * @return this configuration
   */
  public SpatialLayerConfig setVideoSignalTypePresent(boolean videoSignalTypePresent) {
    this.videoSignalTypePresent = videoSignalTypePresent;
    return this;
  }

  /**
   * Sets the H.264 video_format code, 0 to 7 (a 3-bit field; 5 means unspecified).
   *
   * @param videoFormat the H.264 video_format code, 0 to 7 (a 3-bit field; 5 means unspecified)
   * @return this configuration
   */
  public SpatialLayerConfig setVideoFormat(int videoFormat) {
    this.videoFormat = Checks.inRange("videoFormat", videoFormat, 0, 7);
    return this;
  }

  /**
   * Sets whether the samples use the full range 0 to 255 instead of 16 to 235.
   *
   * @param fullRange whether the samples use the full range 0 to 255 instead of 16 to 235
   * @return this configuration
   */
  public SpatialLayerConfig setFullRange(boolean fullRange) {
    this.fullRange = fullRange;
    return this;
  }

  /**
   * Sets whether the colour description (primaries, transfer, matrix) is written.
   *
   * @param colorDescriptionPresent whether the colour description (primaries, transfer, matrix) is
   *     written
   * @return this configuration
   */
  public SpatialLayerConfig setColorDescriptionPresent(boolean colorDescriptionPresent) {
    this.colorDescriptionPresent = colorDescriptionPresent;
    return this;
  }

  /**
   * Sets the H.264 colour_primaries code, 0 to 255 (1: BT.709, 2: unspecified).
   *
   * @param colorPrimaries the H.264 colour_primaries code, 0 to 255 (1: BT.709, 2: unspecified)
   * @return this configuration
   */
  public SpatialLayerConfig setColorPrimaries(int colorPrimaries) {
    this.colorPrimaries = Checks.inRange("colorPrimaries", colorPrimaries, 0, 255);
    return this;
  }

  /**
   * Sets the H.264 transfer_characteristics code, 0 to 255 (1: BT.709, 2: unspecified).
   *
   * @param transferCharacteristics the H.264 transfer_characteristics code, 0 to 255 (1: BT.709, 2:
   *     unspecified)
   * @return this configuration
   */
  public SpatialLayerConfig setTransferCharacteristics(int transferCharacteristics) {
    this.transferCharacteristics =
        Checks.inRange("transferCharacteristics", transferCharacteristics, 0, 255);
    return this;
  }

  /**
   * Sets the H.264 matrix_coefficients code, 0 to 255 (1: BT.709, 2: unspecified).
   *
   * @param colorMatrix the H.264 matrix_coefficients code, 0 to 255 (1: BT.709, 2: unspecified)
   * @return this configuration
   */
  public SpatialLayerConfig setColorMatrix(int colorMatrix) {
    this.colorMatrix = Checks.inRange("colorMatrix", colorMatrix, 0, 255);
    return this;
  }

  /**
   * Sets whether the sample aspect ratio is written.
   *
   * @param aspectRatioPresent whether the sample aspect ratio is written
   * @return this configuration
   */
  public SpatialLayerConfig setAspectRatioPresent(boolean aspectRatioPresent) {
    this.aspectRatioPresent = aspectRatioPresent;
    return this;
  }

  /**
   * Sets the sample aspect ratio.
   *
   * @param aspectRatio the sample aspect ratio
   * @return this configuration
   */
  public SpatialLayerConfig setAspectRatio(AspectRatio aspectRatio) {
    this.aspectRatio = Checks.notNull("aspectRatio", aspectRatio);
    return this;
  }

  /**
   * Sets the sample aspect ratio width for {@link AspectRatio#EXTENDED_SAR}, 0 to 65535.
   *
   * @param aspectRatioExtWidth the sample aspect ratio width for {@link AspectRatio#EXTENDED_SAR},
   *     0 to 65535
   * @return this configuration
   */
  public SpatialLayerConfig setAspectRatioExtWidth(int aspectRatioExtWidth) {
    this.aspectRatioExtWidth =
        Checks.inRange("aspectRatioExtWidth", aspectRatioExtWidth, 0, 0xFFFF);
    return this;
  }

  /**
   * Sets the sample aspect ratio height for {@link AspectRatio#EXTENDED_SAR}, 0 to 65535.
   *
   * @param aspectRatioExtHeight the sample aspect ratio height for {@link
   *     AspectRatio#EXTENDED_SAR}, 0 to 65535
   * @return this configuration
   */
  public SpatialLayerConfig setAspectRatioExtHeight(int aspectRatioExtHeight) {
    this.aspectRatioExtHeight =
        Checks.inRange("aspectRatioExtHeight", aspectRatioExtHeight, 0, 0xFFFF);
    return this;
  }
}
