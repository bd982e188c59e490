package tq.brindlecast.openh264.bitstream;

import java.util.Objects;

/**
 * The fields of an H.264 sequence parameter set (SPS) that describe a stream: profile and level,
 * chroma format and bit depth, frame or field coding, picture size, and the frame rate, sample
 * aspect ratio and sample range from its video usability information (VUI).
 *
 * <pre>{@code
 * for (NalUnit unit : AnnexB.nalUnits(stream)) {
 *   if (unit.type() == NalUnit.TYPE_SPS) {
 *     SequenceParameterSet sps =
 *         SequenceParameterSet.parse(stream, unit.offset(), unit.length());
 *     System.out.println(sps.width() + "x" + sps.height() + " at " + sps.frameRate());
 *   }
 * }
 * }</pre>
 */
public final class SequenceParameterSet {
  /**
   * The code of {@code matrix_coefficients}, {@code colour_primaries} and {@code
   * transfer_characteristics} that leaves them to the application.
   */
  public static final int UNSPECIFIED_MATRIX = 2;

  private final int profileIdc;
  private final int constraintFlags;
  private final int levelIdc;
  private final int id;
  private final int chromaFormatIdc;
  private final int bitDepthLuma;
  private final int bitDepthChroma;
  private final boolean transformBypass;
  private final boolean frameMbsOnly;
  private final int widthInMbs;
  private final int heightInMbs;
  private final int width;
  private final int height;
  private final int sarWidth;
  private final int sarHeight;
  private final long numUnitsInTick;
  private final long timeScale;
  private final boolean fullRange;
  private final boolean signalType;
  private final int matrixCoefficients;
  private final int colourPrimaries;
  private final int transferCharacteristics;

  private SequenceParameterSet(
      int profileIdc,
      int constraintFlags,
      int levelIdc,
      int id,
      int chromaFormatIdc,
      int bitDepthLuma,
      int bitDepthChroma,
      boolean transformBypass,
      boolean frameMbsOnly,
      int widthInMbs,
      int heightInMbs,
      int width,
      int height,
      int sarWidth,
      int sarHeight,
      long numUnitsInTick,
      long timeScale,
      boolean fullRange,
      boolean signalType,
      int matrixCoefficients,
      int colourPrimaries,
      int transferCharacteristics) {
    this.profileIdc = profileIdc;
    this.constraintFlags = constraintFlags;
    this.levelIdc = levelIdc;
    this.id = id;
    this.chromaFormatIdc = chromaFormatIdc;
    this.bitDepthLuma = bitDepthLuma;
    this.bitDepthChroma = bitDepthChroma;
    this.transformBypass = transformBypass;
    this.frameMbsOnly = frameMbsOnly;
    this.widthInMbs = widthInMbs;
    this.heightInMbs = heightInMbs;
    this.width = width;
    this.height = height;
    this.sarWidth = sarWidth;
    this.sarHeight = sarHeight;
    this.numUnitsInTick = numUnitsInTick;
    this.timeScale = timeScale;
    this.fullRange = fullRange;
    this.signalType = signalType;
    this.matrixCoefficients = matrixCoefficients;
    this.colourPrimaries = colourPrimaries;
    this.transferCharacteristics = transferCharacteristics;
  }

  /** {@return the {@code profile_idc}, e.g. 66 Baseline, 77 Main, 100 High, 110 High 10} */
  public int profileIdc() {
    return profileIdc;
  }

  /**
   * {@return the six {@code constraint_setN_flag}s, set 0 in bit 7 down to set 5 in bit 2, as in
   * the byte after {@code profile_idc}}
   */
  public int constraintFlags() {
    return constraintFlags;
  }

  /** {@return the {@code level_idc}, ten times the level number (31 is level 3.1)} */
  public int levelIdc() {
    return levelIdc;
  }

  /** {@return the {@code seq_parameter_set_id}, 0 to 31} */
  public int id() {
    return id;
  }

  /** {@return 0 monochrome, 1 4:2:0, 2 4:2:2, 3 4:4:4} */
  public int chromaFormatIdc() {
    return chromaFormatIdc;
  }

  /** {@return bits per luma sample, 8 to 14} */
  public int bitDepthLuma() {
    return bitDepthLuma;
  }

  /** {@return bits per chroma sample, 8 to 14} */
  public int bitDepthChroma() {
    return bitDepthChroma;
  }

  /** {@return the {@code qpprime_y_zero_transform_bypass_flag}: lossless coding} */
  public boolean transformBypass() {
    return transformBypass;
  }

  /** {@return the {@code frame_mbs_only_flag}; false means fields (interlaced coding)} */
  public boolean frameMbsOnly() {
    return frameMbsOnly;
  }

  /** {@return the coded width in macroblocks of 16 pixels} */
  public int widthInMbs() {
    return widthInMbs;
  }

  /** {@return the coded frame height in macroblocks of 16 pixels} */
  public int heightInMbs() {
    return heightInMbs;
  }

  /** {@return the displayed width in pixels, after the cropping rectangle} */
  public int width() {
    return width;
  }

  /** {@return the displayed height in pixels, after the cropping rectangle} */
  public int height() {
    return height;
  }

  /** {@return the sample aspect ratio's width, or 0 when the stream does not give it} */
  public int sarWidth() {
    return sarWidth;
  }

  /** {@return the sample aspect ratio's height, or 0 when the stream does not give it} */
  public int sarHeight() {
    return sarHeight;
  }

  /** {@return the VUI's {@code num_units_in_tick}, or 0 without timing information} */
  public long numUnitsInTick() {
    return numUnitsInTick;
  }

  /** {@return the VUI's {@code time_scale}, or 0 without timing information} */
  public long timeScale() {
    return timeScale;
  }

  /** {@return the VUI's {@code video_full_range_flag}: samples use 0 to 255, not 16 to 235} */
  public boolean fullRange() {
    return fullRange;
  }

  /**
   * {@return whether the VUI carries a video signal type, so that {@link #fullRange()} is the
   * stream's word rather than the default}
   */
  public boolean hasSignalType() {
    return signalType;
  }

  /**
   * {@return the VUI's {@code matrix_coefficients}: 1 BT.709, 5 and 6 BT.601, 2 (also when the
   * stream has no colour description) unspecified}
   */
  public int matrixCoefficients() {
    return matrixCoefficients;
  }

  /** {@return the VUI's {@code colour_primaries}, 2 (unspecified) without a colour description} */
  public int colourPrimaries() {
    return colourPrimaries;
  }

  /**
   * {@return the VUI's {@code transfer_characteristics}, 2 (unspecified) without a colour
   * description}
   */
  public int transferCharacteristics() {
    return transferCharacteristics;
  }

  @Override
  public boolean equals(Object other) {
    return other instanceof SequenceParameterSet that
        && profileIdc == that.profileIdc
        && constraintFlags == that.constraintFlags
        && levelIdc == that.levelIdc
        && id == that.id
        && chromaFormatIdc == that.chromaFormatIdc
        && bitDepthLuma == that.bitDepthLuma
        && bitDepthChroma == that.bitDepthChroma
        && transformBypass == that.transformBypass
        && frameMbsOnly == that.frameMbsOnly
        && widthInMbs == that.widthInMbs
        && heightInMbs == that.heightInMbs
        && width == that.width
        && height == that.height
        && sarWidth == that.sarWidth
        && sarHeight == that.sarHeight
        && numUnitsInTick == that.numUnitsInTick
        && timeScale == that.timeScale
        && fullRange == that.fullRange
        && signalType == that.signalType
        && matrixCoefficients == that.matrixCoefficients
        && colourPrimaries == that.colourPrimaries
        && transferCharacteristics == that.transferCharacteristics;
  }

  @Override
  public int hashCode() {
    return Objects.hash(
        profileIdc, constraintFlags, levelIdc, id, chromaFormatIdc, bitDepthLuma, bitDepthChroma,
        transformBypass, frameMbsOnly, widthInMbs, heightInMbs, width, height, sarWidth, sarHeight,
        numUnitsInTick, timeScale, fullRange, signalType, matrixCoefficients,
        colourPrimaries, transferCharacteristics);
  }

  @Override
  public String toString() {
    return "SequenceParameterSet[" + "profileIdc=" + profileIdc + ", "
        + "constraintFlags=" + constraintFlags + ", "
        + "levelIdc=" + levelIdc + ", "
        + "id=" + id + ", "
        + "chromaFormatIdc=" + chromaFormatIdc + ", "
        + "bitDepthLuma=" + bitDepthLuma + ", "
        + "bitDepthChroma=" + bitDepthChroma + ", "
        + "transformBypass=" + transformBypass + ", "
        + "frameMbsOnly=" + frameMbsOnly + ", "
        + "widthInMbs=" + widthInMbs + ", "
        + "heightInMbs=" + heightInMbs + ", "
        + "width=" + width + ", "
        + "height=" + height + ", "
        + "sarWidth=" + sarWidth + ", "
        + "sarHeight=" + sarHeight + ", "
        + "numUnitsInTick=" + numUnitsInTick + ", "
        + "timeScale=" + timeScale + ", "
        + "fullRange=" + fullRange + ", "
        + "signalType=" + signalType + ", "
        + "matrixCoefficients=" + matrixCoefficients + ", "
        + "colourPrimaries=" + colourPrimaries + ", "
        + "transferCharacteristics=" + transferCharacteristics + "]";
  }

  /** Sample aspect ratios by {@code aspect_ratio_idc} 1 to 16, as width and height. */
  private static final int[][] ASPECT_RATIOS = {
    {1, 1}, {12, 11}, {10, 11}, {16, 11}, {40, 33}, {24, 11}, {20, 11}, {32, 11}, {80, 33},
    {18, 11}, {15, 11}, {64, 33}, {160, 99}, {4, 3}, {3, 2}, {2, 1}
  };

  private static final int EXTENDED_SAR = 255;

  /**
   * Parses a sequence parameter set NAL unit: its header byte, then the payload with its
   * emulation prevention bytes still in place.
   *
   * @param nal the NAL unit without its start code
   * @return the parsed fields
   * @throws NullPointerException if {@code nal} is null
   * @throws IllegalArgumentException if the unit is not an SPS, ends early or holds values H.264
   *     does not allow; the message says which field
   */
  public static SequenceParameterSet parse(byte[] nal) {
    Objects.requireNonNull(nal, "nal must not be null");
    return parse(nal, 0, nal.length);
  }

  /**
   * Parses a sequence parameter set NAL unit in part of an array, e.g. as found by {@link
   * AnnexB#nalUnits(byte[])}.
   *
   * @param data the array
   * @param offset the index of the NAL unit's header byte
   * @param length the number of bytes of the unit
   * @return the parsed fields
   * @throws NullPointerException if {@code data} is null
   * @throws IndexOutOfBoundsException if the range does not lie inside {@code data}
   * @throws IllegalArgumentException if the unit is not an SPS, ends early or holds values H.264
   *     does not allow; the message says which field
   */
  public static SequenceParameterSet parse(byte[] data, int offset, int length) {
    Objects.requireNonNull(data, "data must not be null");
    Objects.checkFromIndexSize(offset, length, data.length);
    int type = length < 1 ? -1 : NalUnit.typeOf(data[offset]);
    if (type != NalUnit.TYPE_SPS) {
      throw new IllegalArgumentException(
          "not a sequence parameter set: "
              + (length < 1 ? "the unit is empty" : "NAL unit type " + type));
    }
    BitReader bits = new BitReader(data, offset + 1, length - 1, "the sequence parameter set");
    int profile = (int) bits.bits(8, "profile_idc");
    int constraints = (int) bits.bits(8, "constraint flags") & 0xFC;
    int level = (int) bits.bits(8, "level_idc");
    int id = bits.ue("seq_parameter_set_id", 31);
    int chroma = 1;
    int depthLuma = 8;
    int depthChroma = 8;
    boolean bypass = false;
    boolean separatePlanes = false;
    if (hasChromaInfo(profile)) {
      chroma = bits.ue("chroma_format_idc", 3);
      if (chroma == 3) {
        separatePlanes = bits.flag("separate_colour_plane_flag");
      }
      depthLuma = 8 + bits.ue("bit_depth_luma_minus8", 6);
      depthChroma = 8 + bits.ue("bit_depth_chroma_minus8", 6);
      bypass = bits.flag("qpprime_y_zero_transform_bypass_flag");
      if (bits.flag("seq_scaling_matrix_present_flag")) {
        skipScalingLists(bits, chroma == 3 ? 12 : 8);
      }
    }
    bits.ue("log2_max_frame_num_minus4", 12);
    int pocType = bits.ue("pic_order_cnt_type", 2);
    if (pocType == 0) {
      bits.ue("log2_max_pic_order_cnt_lsb_minus4", 12);
    } else if (pocType == 1) {
      bits.flag("delta_pic_order_always_zero_flag");
      bits.se("offset_for_non_ref_pic");
      bits.se("offset_for_top_to_bottom_field");
      int cycle = bits.ue("num_ref_frames_in_pic_order_cnt_cycle", 255);
      for (int i = 0; i < cycle; i++) {
        bits.se("offset_for_ref_frame");
      }
    }
    bits.ue("max_num_ref_frames", 16);
    bits.flag("gaps_in_frame_num_value_allowed_flag");
    int widthInMbs = bits.ue("pic_width_in_mbs_minus1", 1023) + 1;
    int mapUnits = bits.ue("pic_height_in_map_units_minus1", 1023) + 1;
    boolean frameMbsOnly = bits.flag("frame_mbs_only_flag");
    if (!frameMbsOnly) {
      bits.flag("mb_adaptive_frame_field_flag");
    }
    bits.flag("direct_8x8_inference_flag");
    int heightInMbs = (frameMbsOnly ? 1 : 2) * mapUnits;
    int width = widthInMbs * 16;
    int height = heightInMbs * 16;
    if (bits.flag("frame_cropping_flag")) {
      int chromaArrayType = separatePlanes ? 0 : chroma;
      int cropX = chromaArrayType == 1 || chromaArrayType == 2 ? 2 : 1;
      int cropY = (chromaArrayType == 1 ? 2 : 1) * (frameMbsOnly ? 1 : 2);
      long left = (long) cropX * bits.ue("frame_crop_left_offset", width);
      long right = (long) cropX * bits.ue("frame_crop_right_offset", width);
      long top = (long) cropY * bits.ue("frame_crop_top_offset", height);
      long bottom = (long) cropY * bits.ue("frame_crop_bottom_offset", height);
      if (left + right >= width || top + bottom >= height) {
        throw new IllegalArgumentException(
            "the cropping rectangle (" + left + ", " + right + ", " + top + ", " + bottom
                + ") leaves nothing of the " + width + "x" + height + " picture");
      }
      width -= (int) (left + right);
      height -= (int) (top + bottom);
    }
    int sarWidth = 0;
    int sarHeight = 0;
    long unitsInTick = 0;
    long timeScale = 0;
    boolean fullRange = false;
    boolean signalType = false;
    int matrix = UNSPECIFIED_MATRIX;
    int primaries = UNSPECIFIED_MATRIX;
    int transfer = UNSPECIFIED_MATRIX;
    if (bits.flag("vui_parameters_present_flag")) {
      if (bits.flag("aspect_ratio_info_present_flag")) {
        int idc = (int) bits.bits(8, "aspect_ratio_idc");
        if (idc == EXTENDED_SAR) {
          sarWidth = (int) bits.bits(16, "sar_width");
          sarHeight = (int) bits.bits(16, "sar_height");
        } else if (idc >= 1 && idc <= ASPECT_RATIOS.length) {
          sarWidth = ASPECT_RATIOS[idc - 1][0];
          sarHeight = ASPECT_RATIOS[idc - 1][1];
        }
        if (sarWidth == 0 || sarHeight == 0) {
          sarWidth = 0; // unspecified
          sarHeight = 0;
        }
      }
      if (bits.flag("overscan_info_present_flag")) {
        bits.flag("overscan_appropriate_flag");
      }
      if (bits.flag("video_signal_type_present_flag")) {
        bits.bits(3, "video_format");
        signalType = true;
        fullRange = bits.flag("video_full_range_flag");
        if (bits.flag("colour_description_present_flag")) {
          primaries = (int) bits.bits(8, "colour_primaries");
          transfer = (int) bits.bits(8, "transfer_characteristics");
          matrix = (int) bits.bits(8, "matrix_coefficients");
        }
      }
      if (bits.flag("chroma_loc_info_present_flag")) {
        bits.ue("chroma_sample_loc_type_top_field", 5);
        bits.ue("chroma_sample_loc_type_bottom_field", 5);
      }
      if (bits.flag("timing_info_present_flag")) {
        unitsInTick = bits.bits(32, "num_units_in_tick");
        timeScale = bits.bits(32, "time_scale");
        if (unitsInTick == 0 || timeScale == 0) {
          unitsInTick = 0; // a rate of 0 or infinity says nothing
          timeScale = 0;
        }
      }
    }
    return new SequenceParameterSet(
        profile, constraints, level, id, chroma, depthLuma, depthChroma, bypass, frameMbsOnly,
        widthInMbs, heightInMbs, width, height, sarWidth, sarHeight, unitsInTick, timeScale,
        fullRange, signalType, matrix, primaries, transfer);
  }

  /**
   * Tells whether {@code constraint_set}{@code n}{@code _flag} is set.
   *
   * @param n 0 to 5
   * @return true if the flag is set
   * @throws IllegalArgumentException if {@code n} is outside 0 to 5
   */
  public boolean constraintSet(int n) {
    if (n < 0 || n > 5) {
      throw new IllegalArgumentException("n must be from 0 to 5, was " + n);
    }
    return (constraintFlags & (0x80 >> n)) != 0;
  }

  /** {@return whether the VUI gives a frame rate ({@link #frameRate()})} */
  public boolean hasFrameRate() {
    return timeScale > 0 && numUnitsInTick > 0;
  }

  /**
   * {@return the frame rate the VUI gives: {@code time_scale / (2 * num_units_in_tick)}, since a
   * tick is one field; 0 when the stream carries no timing information}
   */
  public double frameRate() {
    return hasFrameRate() ? timeScale / (2.0 * numUnitsInTick) : 0;
  }

  /** {@return whether the VUI gives a sample aspect ratio ({@link #sarWidth()} and height)} */
  public boolean hasAspectRatio() {
    return sarWidth > 0 && sarHeight > 0;
  }

  /**
   * Names, in plain words, what in this stream OpenH264 cannot decode (it decodes progressive
   * 8-bit 4:2:0 Baseline, Main and High streams).
   *
   * @return what stands in the way, or null when nothing does
   */
  public String unsupportedFeature() {
    if (!frameMbsOnly) {
      return "interlaced coding (frame_mbs_only_flag 0)";
    }
    if (chromaFormatIdc != 1) {
      String format =
          switch (chromaFormatIdc) {
            case 0 -> "monochrome (4:0:0)";
            case 2 -> "4:2:2";
            default -> "4:4:4";
          };
      return format + " chroma (chroma_format_idc " + chromaFormatIdc + ")";
    }
    if (bitDepthLuma != 8 || bitDepthChroma != 8) {
      return bitDepthLuma + "-bit samples (bit depth " + bitDepthLuma + " luma, "
          + bitDepthChroma + " chroma)";
    }
    if (transformBypass) {
      return "lossless coding (qpprime_y_zero_transform_bypass_flag 1)";
    }
    if (!hasChromaInfo(profileIdc) && profileIdc != 66 && profileIdc != 77) {
      return "profile_idc " + profileIdc; // Extended profile (88) and unknown profiles
    }
    return null;
  }

  /** The profiles whose SPS carries chroma format, bit depths and scaling lists. */
  private static boolean hasChromaInfo(int profile) {
    return switch (profile) {
      case 100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135 -> true;
      default -> false;
    };
  }

  private static void skipScalingLists(BitReader bits, int count) {
    for (int i = 0; i < count; i++) {
      if (!bits.flag("seq_scaling_list_present_flag")) {
        continue;
      }
      int size = i < 6 ? 16 : 64;
      int last = 8;
      int next = 8;
      for (int j = 0; j < size && next != 0; j++) {
        int delta = bits.se("delta_scale");
        if (delta < -128 || delta > 127) {
          throw new IllegalArgumentException("delta_scale " + delta + " is outside -128 to 127");
        }
        next = (last + delta + 256) % 256;
        last = next == 0 ? last : next;
      }
    }
  }
}
