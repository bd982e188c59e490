package tq.brindlecast.openh264;

/**
 * The settings of an encoded stream as a whole; the settings of each spatial layer are in {@link
 * SpatialLayerConfig}. The native library reads this object through its getters, which return the
 * plain numbers OpenH264 takes: {@code int} (0 or 1 for switches) and {@code float}.
 *
 * <p>A new object holds OpenH264's own defaults, except that the maximum frame rate is 30 instead
 * of 60. Each setter refuses values that can never be valid and returns this object for chaining;
 * {@link #validate()} checks the rules that involve several settings. OpenH264 checks the rest when
 * it initialises an encoder.
 *
 * <pre>{@code
 * EncoderConfig config = new EncoderConfig()
 *     .setRcMode(RateControlMode.BITRATE)
 *     .setIntraPeriod(60)
 *     .setMultipleThreadIdc(2);
 * }</pre>
 *
 * <p>Instances are mutable and not thread-safe; {@link #copy()} gives an independent snapshot.
 */
public class EncoderConfig {
  /** The highest number of spatial layers OpenH264 encodes. */
  public static final int MAX_SPATIAL_LAYERS = 4;

  /** The highest number of temporal layers OpenH264 encodes. */
  public static final int MAX_TEMPORAL_LAYERS = 4;

  /** The highest quantisation parameter of H.264 (8-bit video). */
  public static final int MAX_QP = 51;

  private UsageType usageType = UsageType.CAMERA_VIDEO_REAL_TIME;
  private RateControlMode rcMode = RateControlMode.QUALITY;
  private float maxFrameRate = 30f;
  private ComplexityMode complexityMode = ComplexityMode.LOW;
  private int intraPeriod = 0;
  private int numRefFrame = -1;
  private ParameterSetStrategy parameterStrategy = ParameterSetStrategy.INCREASING_ID;
  private boolean prefixNalAddingControl = false;
  private boolean enableSsei = false;
  private boolean simulcastAvc = false;
  private boolean paddingFlag = false;
  private boolean entropyCodingModeFlag = false;
  private boolean enableFrameSkip = true;
  private int minQP = 0;
  private int maxQP = MAX_QP;
  private int maxNalSize = 0;
  private boolean enableLongTermReference = false;
  private int ltrNumber = 0;
  private int ltrMarkPeriod = 30;
  private int multipleThreadIdc = 1;
  private boolean useLoadBalancing = true;
  private int loopFilterDisableIdc = 0;
  private int loopFilterAlphaC0Offset = 0;
  private int loopFilterBetaOffset = 0;
  private boolean enableDenoise = false;
  private boolean enableBackgroundDetection = true;
  private boolean enableAdaptiveQuant = true;
  private boolean enableFrameCroppingFlag = true;
  private boolean enableSceneChangeDetect = true;
  private boolean isLosslessLink = false;
  private int temporalLayers = 1;
  private int spatialLayers = 1;

  /** Creates a configuration with the default settings. */
  public EncoderConfig() {}

  /** {@return an independent copy of this configuration} */
  public EncoderConfig copy() {
    EncoderConfig c = new EncoderConfig();
    c.usageType = usageType;
    c.rcMode = rcMode;
    c.maxFrameRate = maxFrameRate;
    c.complexityMode = complexityMode;
    c.intraPeriod = intraPeriod;
    c.numRefFrame = numRefFrame;
    c.parameterStrategy = parameterStrategy;
    c.prefixNalAddingControl = prefixNalAddingControl;
    c.enableSsei = enableSsei;
    c.simulcastAvc = simulcastAvc;
    c.paddingFlag = paddingFlag;
    c.entropyCodingModeFlag = entropyCodingModeFlag;
    c.enableFrameSkip = enableFrameSkip;
    c.minQP = minQP;
    c.maxQP = maxQP;
    c.maxNalSize = maxNalSize;
    c.enableLongTermReference = enableLongTermReference;
    c.ltrNumber = ltrNumber;
    c.ltrMarkPeriod = ltrMarkPeriod;
    c.multipleThreadIdc = multipleThreadIdc;
    c.useLoadBalancing = useLoadBalancing;
    c.loopFilterDisableIdc = loopFilterDisableIdc;
    c.loopFilterAlphaC0Offset = loopFilterAlphaC0Offset;
    c.loopFilterBetaOffset = loopFilterBetaOffset;
    c.enableDenoise = enableDenoise;
    c.enableBackgroundDetection = enableBackgroundDetection;
    c.enableAdaptiveQuant = enableAdaptiveQuant;
    c.enableFrameCroppingFlag = enableFrameCroppingFlag;
    c.enableSceneChangeDetect = enableSceneChangeDetect;
    c.isLosslessLink = isLosslessLink;
    c.temporalLayers = temporalLayers;
    c.spatialLayers = spatialLayers;
    return c;
  }

  /**
   * Checks the rules that involve more than one setting, so that setters may be called in any
   * order: the minimum QP must not be above the maximum QP.
   *
   * @return this configuration
   * @throws IllegalArgumentException naming the settings that contradict each other
   */
  public EncoderConfig validate() {
    if (minQP > maxQP) {
      throw new IllegalArgumentException(
          "minQP must not be above maxQP, was minQP " + minQP + " and maxQP " + maxQP);
    }
    return this;
  }

  private static int flag(boolean on) {
    return on ? 1 : 0;
  }

  // Getters read by the native library. Those that code an enumeration or a switch as a number
  // are package-private: JNI finds them by name and signature all the same, and callers read the
  // typed accessors beside them.

  /** {@return the usage type as OpenH264 numbers it; see {@link UsageType}} */
  int getUsageType() {
    return usageType.value();
  }

  /** {@return the rate-control mode as OpenH264 numbers it; see {@link RateControlMode}} */
  int getRcMode() {
    return rcMode.value();
  }

  /** {@return the highest input frame rate in pictures per second} */
  public float getMaxFrameRate() {
    return maxFrameRate;
  }

  /** {@return the complexity mode as OpenH264 numbers it; see {@link ComplexityMode}} */
  int getComplexityMode() {
    return complexityMode.value();
  }

  /** {@return the number of pictures between IDR pictures; 0 means only the first} */
  public int getIntraPeriod() {
    return intraPeriod;
  }

  /** {@return the number of reference pictures; -1 lets the encoder choose} */
  public int getNumRefFrame() {
    return numRefFrame;
  }

  /** {@return the SPS/PPS id strategy as OpenH264 numbers it; see {@link ParameterSetStrategy}} */
  int getParameterStrategy() {
    return parameterStrategy.value();
  }

  /** {@return 1 when prefix NAL units are added, else 0} */
  int getPrefixNalAddingControl() {
    return flag(prefixNalAddingControl);
  }

  /** {@return whether {@code prefixNalAddingControl} is on} */
  public boolean prefixNalAddingControl() {
    return prefixNalAddingControl;
  }

  /** {@return 1 when the SSEI message is written, else 0} */
  int getEnableSsei() {
    return flag(enableSsei);
  }

  /** {@return whether {@code enableSsei} is on} */
  public boolean enableSsei() {
    return enableSsei;
  }

  /** {@return 1 when higher spatial layers use simulcast AVC instead of SVC syntax, else 0} */
  int getSimulcastAvc() {
    return flag(simulcastAvc);
  }

  /** {@return whether {@code simulcastAvc} is on} */
  public boolean simulcastAvc() {
    return simulcastAvc;
  }

  /** {@return 1 when padding is enabled, else 0} */
  int getPaddingFlag() {
    return flag(paddingFlag);
  }

  /** {@return whether {@code paddingFlag} is on} */
  public boolean paddingFlag() {
    return paddingFlag;
  }

  /** {@return 1 for CABAC entropy coding, 0 for CAVLC} */
  int getEntropyCodingModeFlag() {
    return flag(entropyCodingModeFlag);
  }

  /** {@return whether {@code entropyCodingModeFlag} is on} */
  public boolean entropyCodingModeFlag() {
    return entropyCodingModeFlag;
  }

  /** {@return 1 when rate control may skip pictures to keep the bit rate, else 0} */
  int getEnableFrameSkip() {
    return flag(enableFrameSkip);
  }

  /** {@return whether {@code enableFrameSkip} is on} */
  public boolean enableFrameSkip() {
    return enableFrameSkip;
  }

  /** {@return the lowest quantisation parameter the encoder may use} */
  public int getMinQP() {
    return minQP;
  }

  /** {@return the highest quantisation parameter the encoder may use} */
  public int getMaxQP() {
    return maxQP;
  }

  /** {@return the largest NAL unit in bytes; 0 means no limit} */
  public int getMaxNalSize() {
    return maxNalSize;
  }

  /** {@return 1 when long-term reference pictures are used, else 0} */
  int getEnableLongTermReference() {
    return flag(enableLongTermReference);
  }

  /** {@return whether {@code enableLongTermReference} is on} */
  public boolean enableLongTermReference() {
    return enableLongTermReference;
  }

  /** {@return the number of long-term reference pictures} */
  public int getLtrNumber() {
    return ltrNumber;
  }

  /** {@return the period, in pictures, at which long-term references are marked} */
  public int getLtrMarkPeriod() {
    return ltrMarkPeriod;
  }

  /** {@return the thread setting: 0 automatic, 1 one thread, more: that many threads} */
  public int getMultipleThreadIdc() {
    return multipleThreadIdc;
  }

  /** {@return 1 when slices are balanced between threads at run time, else 0} */
  int getUseLoadBalancing() {
    return flag(useLoadBalancing);
  }

  /** {@return whether {@code useLoadBalancing} is on} */
  public boolean useLoadBalancing() {
    return useLoadBalancing;
  }

  /** {@return the loop filter setting: 0 on, 1 off, 2 on except across slice edges} */
  public int getLoopFilterDisableIdc() {
    return loopFilterDisableIdc;
  }

  /** {@return the loop filter alpha offset, -6 to 6} */
  public int getLoopFilterAlphaC0Offset() {
    return loopFilterAlphaC0Offset;
  }

  /** {@return the loop filter beta offset, -6 to 6} */
  public int getLoopFilterBetaOffset() {
    return loopFilterBetaOffset;
  }

  /** {@return 1 when the input is denoised, else 0} */
  int getEnableDenoise() {
    return flag(enableDenoise);
  }

  /** {@return whether {@code enableDenoise} is on} */
  public boolean enableDenoise() {
    return enableDenoise;
  }

  /** {@return 1 when background detection is on, else 0} */
  int getEnableBackgroundDetection() {
    return flag(enableBackgroundDetection);
  }

  /** {@return whether {@code enableBackgroundDetection} is on} */
  public boolean enableBackgroundDetection() {
    return enableBackgroundDetection;
  }

  /** {@return 1 when adaptive quantisation is on, else 0} */
  int getEnableAdaptiveQuant() {
    return flag(enableAdaptiveQuant);
  }

  /** {@return whether {@code enableAdaptiveQuant} is on} */
  public boolean enableAdaptiveQuant() {
    return enableAdaptiveQuant;
  }

  /** {@return 1 when frame cropping is written for sizes that are not multiples of 16, else 0} */
  int getEnableFrameCroppingFlag() {
    return flag(enableFrameCroppingFlag);
  }

  /** {@return whether {@code enableFrameCroppingFlag} is on} */
  public boolean enableFrameCroppingFlag() {
    return enableFrameCroppingFlag;
  }

  /** {@return 1 when scene-change detection is on, else 0} */
  int getEnableSceneChangeDetect() {
    return flag(enableSceneChangeDetect);
  }

  /** {@return whether {@code enableSceneChangeDetect} is on} */
  public boolean enableSceneChangeDetect() {
    return enableSceneChangeDetect;
  }

  /** {@return 1 when the link is lossless (a long-term reference setting), else 0} */
  int getIsLosslessLink() {
    return flag(isLosslessLink);
  }

  /** {@return whether {@code isLosslessLink} is on} */
  public boolean isLosslessLink() {
    return isLosslessLink;
  }

  /** {@return the number of temporal layers, 1 to 4} */
  public int getTemporalLayers() {
    return temporalLayers;
  }

  /** {@return the number of spatial layers, 1 to 4} */
  public int getSpatialLayers() {
    return spatialLayers;
  }

  // The enum settings as the setters take them.

  /** {@return the usage type} */
  public UsageType usageType() {
    return usageType;
  }

  /** {@return the rate-control mode} */
  public RateControlMode rcMode() {
    return rcMode;
  }

  /** {@return the complexity mode} */
  public ComplexityMode complexityMode() {
    return complexityMode;
  }

  /** {@return the SPS/PPS id strategy} */
  public ParameterSetStrategy parameterStrategy() {
    return parameterStrategy;
  }

  // Setters.

  /**
   * Sets the usage type.
   *
   * @param usageType the usage type
   * @return this configuration
   */
  public EncoderConfig setUsageType(UsageType usageType) {
    this.usageType = Checks.notNull("usageType", usageType);
    return this;
  }

  /**
   * Sets the rate-control mode.
   *
   * @param rcMode the rate-control mode
   * @return this configuration
   */
  public EncoderConfig setRcMode(RateControlMode rcMode) {
    this.rcMode = Checks.notNull("rcMode", rcMode);
    return this;
  }

  /**
   * Sets the highest input frame rate; it must be above 0 and finite.
   *
   * @param maxFrameRate the highest input frame rate; it must be above 0 and finite
   * @return this configuration
   */
  public EncoderConfig setMaxFrameRate(float maxFrameRate) {
    this.maxFrameRate = Checks.positiveFinite("maxFrameRate", maxFrameRate);
    return this;
  }

  /**
   * Sets the complexity mode.
   *
   * @param complexityMode the complexity mode
   * @return this configuration
   */
  public EncoderConfig setComplexityMode(ComplexityMode complexityMode) {
    this.complexityMode = Checks.notNull("complexityMode", complexityMode);
    return this;
  }

  /**
   * Sets the number of pictures between IDR pictures, 0 or more (0: only the first).
   *
   * @param intraPeriod the number of pictures between IDR pictures, 0 or more (0: only the first)
   * @return this configuration
   */
  public EncoderConfig setIntraPeriod(int intraPeriod) {
    this.intraPeriod = Checks.atLeast("intraPeriod", intraPeriod, 0);
    return this;
  }

  /**
   * Sets the number of reference pictures, 0 to 16, or -1 to let the encoder choose. OpenH264 1.7.0
   * overruns its own arrays with more than 16.
   *
   * @param numRefFrame the number of reference pictures, 0 to 16, or -1 to let the encoder choose
   * @return this configuration
   */
  public EncoderConfig setNumRefFrame(int numRefFrame) {
    this.numRefFrame = Checks.inRange("numRefFrame", numRefFrame, -1, 16);
    return this;
  }

  /**
   * Sets the SPS/PPS id strategy.
   *
   * @param parameterStrategy the SPS/PPS id strategy
   * @return this configuration
   */
  public EncoderConfig setParameterStrategy(ParameterSetStrategy parameterStrategy) {
    this.parameterStrategy = Checks.notNull("parameterStrategy", parameterStrategy);
    return this;
  }

  /**
   * Sets whether prefix NAL units are added.
   *
   * @param prefixNalAddingControl whether prefix NAL units are added
   * @return this configuration
   */
  public EncoderConfig setPrefixNalAddingControl(boolean prefixNalAddingControl) {
    this.prefixNalAddingControl = prefixNalAddingControl;
    return this;
  }

  /**
   * Sets whether the SSEI message is written.
   *
   * @param enableSsei whether the SSEI message is written
   * @return this configuration
   */
  public EncoderConfig setEnableSsei(boolean enableSsei) {
    this.enableSsei = enableSsei;
    return this;
  }

  /**
   * Sets whether higher spatial layers use simulcast AVC instead of SVC syntax.
   *
   * @param simulcastAvc whether higher spatial layers use simulcast AVC instead of SVC syntax
   * @return this configuration
   */
  public EncoderConfig setSimulcastAvc(boolean simulcastAvc) {
    this.simulcastAvc = simulcastAvc;
    return this;
  }

  /**
   * Sets whether padding is enabled.
   *
   * @param paddingFlag whether padding is enabled
   * @return this configuration
   */
  public EncoderConfig setPaddingFlag(boolean paddingFlag) {
    this.paddingFlag = paddingFlag;
    return this;
  }

  /**
   * Selects CABAC ({@code true}) or CAVLC ({@code false}) entropy coding.
   *
   * @param cabac true for CABAC, false for CAVLC
   * @return this configuration
   */
  public EncoderConfig setEntropyCodingModeFlag(boolean cabac) {
    this.entropyCodingModeFlag = cabac;
    return this;
  }

  /**
   * Sets whether rate control may skip pictures to keep the bit rate.
   *
   * @param enableFrameSkip whether rate control may skip pictures to keep the bit rate
   * @return this configuration
   */
  public EncoderConfig setEnableFrameSkip(boolean enableFrameSkip) {
    this.enableFrameSkip = enableFrameSkip;
    return this;
  }

  /**
   * Sets the lowest quantisation parameter, 0 to 51; see {@link #validate()} for maxQP.
   *
   * @param minQP the lowest quantisation parameter, 0 to 51; see {@link #validate()} for maxQP
   * @return this configuration
   */
  public EncoderConfig setMinQP(int minQP) {
    this.minQP = Checks.inRange("minQP", minQP, 0, MAX_QP);
    return this;
  }

  /**
   * Sets the highest quantisation parameter, 0 to 51; see {@link #validate()} for minQP.
   *
   * @param maxQP the highest quantisation parameter, 0 to 51; see {@link #validate()} for minQP
   * @return this configuration
   */
  public EncoderConfig setMaxQP(int maxQP) {
    this.maxQP = Checks.inRange("maxQP", maxQP, 0, MAX_QP);
    return this;
  }

  /**
   * Sets the largest NAL unit in bytes, 0 or more (0: no limit).
   *
   * @param maxNalSize the largest NAL unit in bytes, 0 or more (0: no limit)
   * @return this configuration
   */
  public EncoderConfig setMaxNalSize(int maxNalSize) {
    this.maxNalSize = Checks.atLeast("maxNalSize", maxNalSize, 0);
    return this;
  }

  /**
   * Sets whether long-term reference pictures are used.
   *
   * @param enableLongTermReference whether long-term reference pictures are used
   * @return this configuration
   */
  public EncoderConfig setEnableLongTermReference(boolean enableLongTermReference) {
    this.enableLongTermReference = enableLongTermReference;
    return this;
  }

  /**
   * Sets the number of long-term reference pictures, 0 or more.
   *
   * @param ltrNumber the number of long-term reference pictures, 0 or more
   * @return this configuration
   */
  public EncoderConfig setLtrNumber(int ltrNumber) {
    this.ltrNumber = Checks.atLeast("ltrNumber", ltrNumber, 0);
    return this;
  }

  /**
   * Sets the period, in pictures, at which long-term references are marked, 0 or more.
   *
   * @param ltrMarkPeriod the period, in pictures, at which long-term references are marked, 0 or
   *     more
   * @return this configuration
   */
  public EncoderConfig setLtrMarkPeriod(int ltrMarkPeriod) {
    this.ltrMarkPeriod = Checks.atLeast("ltrMarkPeriod", ltrMarkPeriod, 0);
    return this;
  }

  /**
   * Sets the thread setting: 0 automatic, 1 one thread, more: that many threads (OpenH264 caps it).
   * At most 65535, the largest value OpenH264's field holds. A picture cut into several slices is
   * always encoded by one thread: OpenH264 2.3 overruns its buffer when several threads write the
   * slices of a picture that codes larger than the raw picture.
   *
   * @param multipleThreadIdc the thread setting: 0 automatic, 1 one thread, more: that many threads
   *     (OpenH264 caps it)
   * @return this configuration
   */
  public EncoderConfig setMultipleThreadIdc(int multipleThreadIdc) {
    this.multipleThreadIdc = Checks.inRange("multipleThreadIdc", multipleThreadIdc, 0, 0xFFFF);
    return this;
  }

  /**
   * Sets whether slices are balanced between threads at run time (output then varies by run).
   *
   * @param useLoadBalancing whether slices are balanced between threads at run time (output then
   *     varies by run)
   * @return this configuration
   */
  public EncoderConfig setUseLoadBalancing(boolean useLoadBalancing) {
    this.useLoadBalancing = useLoadBalancing;
    return this;
  }

  /**
   * Sets the loop filter: 0 on, 1 off, 2 on except across slice edges.
   *
   * @param loopFilterDisableIdc the loop filter: 0 on, 1 off, 2 on except across slice edges
   * @return this configuration
   */
  public EncoderConfig setLoopFilterDisableIdc(int loopFilterDisableIdc) {
    this.loopFilterDisableIdc = Checks.inRange("loopFilterDisableIdc", loopFilterDisableIdc, 0, 2);
    return this;
  }

  /**
   * Sets the loop filter alpha offset, -6 to 6.
   *
   * @param loopFilterAlphaC0Offset the loop filter alpha offset, -6 to 6
   * @return this configuration
   */
  public EncoderConfig setLoopFilterAlphaC0Offset(int loopFilterAlphaC0Offset) {
    this.loopFilterAlphaC0Offset =
        Checks.inRange("loopFilterAlphaC0Offset", loopFilterAlphaC0Offset, -6, 6);
    return this;
  }

  /**
   * Sets the loop filter beta offset, -6 to 6.
   *
   * @param loopFilterBetaOffset the loop filter beta offset, -6 to 6
   * @return this configuration
   */
  public EncoderConfig setLoopFilterBetaOffset(int loopFilterBetaOffset) {
    this.loopFilterBetaOffset = Checks.inRange("loopFilterBetaOffset", loopFilterBetaOffset, -6, 6);
    return this;
  }

  /**
   * Sets whether the input is denoised.
   *
   * @param enableDenoise whether the input is denoised
   * @return this configuration
   */
  public EncoderConfig setEnableDenoise(boolean enableDenoise) {
    this.enableDenoise = enableDenoise;
    return this;
  }

  /**
   * Sets whether background detection is on.
   *
   * @param enableBackgroundDetection whether background detection is on
   * @return this configuration
   */
  public EncoderConfig setEnableBackgroundDetection(boolean enableBackgroundDetection) {
    this.enableBackgroundDetection = enableBackgroundDetection;
    return this;
  }

  /**
   * Sets whether adaptive quantisation is on.
   *
   * @param enableAdaptiveQuant whether adaptive quantisation is on
   * @return this configuration
   */
  public EncoderConfig setEnableAdaptiveQuant(boolean enableAdaptiveQuant) {
    this.enableAdaptiveQuant = enableAdaptiveQuant;
    return this;
  }

  /**
   * Sets whether frame cropping is written for sizes that are not multiples of 16.
   *
   * @param enableFrameCroppingFlag whether frame cropping is written for sizes that are not
   *     multiples of 16
   * @return this configuration
   */
  public EncoderConfig setEnableFrameCroppingFlag(boolean enableFrameCroppingFlag) {
    this.enableFrameCroppingFlag = enableFrameCroppingFlag;
    return this;
  }

  /**
   * Sets whether scene-change detection is on.
   *
   * @param enableSceneChangeDetect whether scene-change detection is on
   * @return this configuration
   */
  public EncoderConfig setEnableSceneChangeDetect(boolean enableSceneChangeDetect) {
    this.enableSceneChangeDetect = enableSceneChangeDetect;
    return this;
  }

  /**
   * Sets whether the link is lossless (a long-term reference setting).
   *
   * @param isLosslessLink whether the link is lossless (a long-term reference setting)
   * @return this configuration
   */
  public EncoderConfig setIsLosslessLink(boolean isLosslessLink) {
    this.isLosslessLink = isLosslessLink;
    return this;
  }

  /**
   * Sets the number of temporal layers, 1 to 4.
   *
   * @param temporalLayers the number of temporal layers, 1 to 4
   * @return this configuration
   */
  public EncoderConfig setTemporalLayers(int temporalLayers) {
    this.temporalLayers = Checks.inRange("temporalLayers", temporalLayers, 1, MAX_TEMPORAL_LAYERS);
    return this;
  }

  /**
   * Sets the number of spatial layers, 1 to 4; each needs its own {@link SpatialLayerConfig}.
   *
   * @param spatialLayers the number of spatial layers, 1 to 4; each needs its own {@link
   *     SpatialLayerConfig}
   * @return this configuration
   */
  public EncoderConfig setSpatialLayers(int spatialLayers) {
    this.spatialLayers = Checks.inRange("spatialLayers", spatialLayers, 1, MAX_SPATIAL_LAYERS);
    return this;
  }
}
