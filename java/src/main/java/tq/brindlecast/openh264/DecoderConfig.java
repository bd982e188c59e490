package tq.brindlecast.openh264;

/**
 * The settings of a decoder. The native library reads this object through its getters when the
 * configuration is set, and hands the values to OpenH264 when it next brings up a decoder.
 *
 * <p>The defaults decode every stream OpenH264 can decode: all layers, no error concealment (a
 * damaged picture is reported as a failure rather than patched up), full reconstruction. Each
 * setter refuses values that can never be valid and returns this object for chaining.
 *
 * <p>Instances are mutable and not thread-safe; {@link #copy()} gives an independent snapshot.
 */
public class DecoderConfig {
  /** Target layer that decodes all layers. */
  public static final int ALL_LAYERS = 255;

  /** The size in bytes of OpenH264's {@code SVideoProperty} record. */
  public static final int VIDEO_PROPERTY_SIZE = 8;

  private String fileNameRestructed = null;
  private int cpuLoad = 0;
  private int targetDqLayer = ALL_LAYERS;
  private ErrorConcealment ecActiveIdc = ErrorConcealment.DISABLE;
  private boolean parseOnly = false;
  private int videoSize = VIDEO_PROPERTY_SIZE;
  private VideoBitstreamType videoBsType = VideoBitstreamType.SVC;

  /** Creates a decoder configuration with the default settings. */
  public DecoderConfig() {}

  /** {@return an independent copy of this configuration} */
  public DecoderConfig copy() {
    DecoderConfig c = new DecoderConfig();
    c.fileNameRestructed = fileNameRestructed;
    c.cpuLoad = cpuLoad;
    c.targetDqLayer = targetDqLayer;
    c.ecActiveIdc = ecActiveIdc;
    c.parseOnly = parseOnly;
    c.videoSize = videoSize;
    c.videoBsType = videoBsType;
    return c;
  }

  // Getters read by the native library. Those that code an enumeration or a switch as a number
  // are package-private: JNI finds them by name and signature all the same, and callers read the
  // typed accessors beside them.

  /** {@return the file OpenH264 debug builds write reconstructed pictures to, or null for none} */
  public String getFileNameRestructed() {
    return fileNameRestructed;
  }

  /** {@return the CPU load hint} */
  public int getCpuLoad() {
    return cpuLoad;
  }

  /** {@return the highest dependency/quality layer to decode, 0 to 255 (255: all)} */
  public char getTargetDqLayer() {
    return (char) targetDqLayer;
  }

  /** {@return the error concealment method as OpenH264 numbers it; see {@link ErrorConcealment}} */
  int getEcActiveIdc() {
    return ecActiveIdc.value();
  }

  /** {@return the {@link ErrorConcealment} set} */
  public ErrorConcealment ecActiveIdc() {
    return ecActiveIdc;
  }

  /** {@return 1 when the decoder only parses the stream without reconstructing pictures, else 0} */
  int getParseOnly() {
    return parseOnly ? 1 : 0;
  }

  /** {@return whether {@code parseOnly} is on} */
  public boolean parseOnly() {
    return parseOnly;
  }

  /** {@return the size field of the video property record (normally 8)} */
  public int getVideoSize() {
    return videoSize;
  }

  /** {@return the expected stream type as OpenH264 numbers it; see {@link VideoBitstreamType}} */
  int getVideoBsType() {
    return videoBsType.value();
  }

  /** {@return the {@link VideoBitstreamType} set} */
  public VideoBitstreamType videoBsType() {
    return videoBsType;
  }

  // Setters.

  /**
   * Sets the file for reconstructed pictures (used only by OpenH264 debug builds), or null.
   *
   * @param fileNameRestructed the file for reconstructed pictures (used only by OpenH264 debug
   *     builds), or null
   * @return this configuration
   */
  public DecoderConfig setFileNameRestructed(String fileNameRestructed) {
    this.fileNameRestructed = fileNameRestructed;
    return this;
  }

  /**
   * Sets the CPU load hint, 0 or more.
   *
   * @param cpuLoad the CPU load hint, 0 or more
   * @return this configuration
   */
  public DecoderConfig setCpuLoad(int cpuLoad) {
    this.cpuLoad = Checks.atLeast("cpuLoad", cpuLoad, 0);
    return this;
  }

  /**
   * Sets the highest dependency/quality layer to decode, 0 to 255 ({@link #ALL_LAYERS}: all).
   *
   * @param targetDqLayer the highest dependency/quality layer to decode, 0 to 255 ({@link
   *     #ALL_LAYERS}: all)
   * @return this configuration
   */
  public DecoderConfig setTargetDqLayer(int targetDqLayer) {
    this.targetDqLayer = Checks.inRange("targetDqLayer", targetDqLayer, 0, 255);
    return this;
  }

  /**
   * Sets the error concealment method.
   *
   * @param ecActiveIdc the error concealment method
   * @return this configuration
   */
  public DecoderConfig setEcActiveIdc(ErrorConcealment ecActiveIdc) {
    this.ecActiveIdc = Checks.notNull("ecActiveIdc", ecActiveIdc);
    return this;
  }

  /**
   * Sets whether the decoder only parses the stream without reconstructing pictures.
   *
   * @param parseOnly whether the decoder only parses the stream without reconstructing pictures
   * @return this configuration
   */
  public DecoderConfig setParseOnly(boolean parseOnly) {
    this.parseOnly = parseOnly;
    return this;
  }

  /**
   * Sets the size field of the video property record, 0 or more.
   *
   * @param videoSize the size field of the video property record, 0 or more
   * @return this configuration
   */
  public DecoderConfig setVideoSize(int videoSize) {
    this.videoSize = Checks.atLeast("videoSize", videoSize, 0);
    return this;
  }

  /**
   * Sets the expected stream type.
   *
   * @param videoBsType the expected stream type
   * @return this configuration
   */
  public DecoderConfig setVideoBsType(VideoBitstreamType videoBsType) {
    this.videoBsType = Checks.notNull("videoBsType", videoBsType);
    return this;
  }
}
