// The getters the encoder natives call on configuration objects, in the
// order they call them. Shared by the unit tests and the fuzz targets.
#ifndef TQ_TESTS_ENCODER_GETTERS_H
#define TQ_TESTS_ENCODER_GETTERS_H

#include <string>
#include <vector>

namespace encodertest {

// The base-configuration getters; getMaxFrameRate has the signature "()F",
// the others "()I".
inline const std::vector<std::string> kBaseGetters = {
    "getUsageType",
    "getRcMode",
    "getMaxFrameRate",
    "getComplexityMode",
    "getIntraPeriod",
    "getNumRefFrame",
    "getParameterStrategy",
    "getPrefixNalAddingControl",
    "getEnableSsei",
    "getSimulcastAvc",
    "getPaddingFlag",
    "getEntropyCodingModeFlag",
    "getEnableFrameSkip",
    "getMinQP",
    "getMaxQP",
    "getMaxNalSize",
    "getEnableLongTermReference",
    "getLtrNumber",
    "getLtrMarkPeriod",
    "getMultipleThreadIdc",
    "getUseLoadBalancing",
    "getLoopFilterDisableIdc",
    "getLoopFilterAlphaC0Offset",
    "getLoopFilterBetaOffset",
    "getEnableDenoise",
    "getEnableBackgroundDetection",
    "getEnableAdaptiveQuant",
    "getEnableFrameCroppingFlag",
    "getEnableSceneChangeDetect",
    "getIsLosslessLink",
    "getTemporalLayers",
    "getSpatialLayers",
};

// The spatial-layer getters (slice array last): getFrameRate "()F",
// getSliceMBNum "()[I", the IsCharGetter ones "()C", the others "()I".
inline const std::vector<std::string> kLayerGetters = {
    "getFrameRate",
    "getProfileIdc",
    "getLevelIdc",
    "getDLayerQp",
    "getSliceMode",
    "getSliceNum",
    "getSliceSizeConstraint",
    "getVideoSignalTypePresent",
    "getVideoFormat",
    "getFullRange",
    "getColorDescriptionPresent",
    "getColorPrimaries",
    "getTransferCharacteristics",
    "getColorMatrix",
    "getAspectRatioPresent",
    "getAspectRatio",
    "getAspectRatioExtWidth",
    "getAspectRatioExtHeight",
    "getSliceMBNum",
};

// True for the four layer getters with the signature "()C".
inline bool IsCharGetter(const std::string& name) {
  return name == "getVideoFormat" || name == "getColorPrimaries" ||
         name == "getTransferCharacteristics" || name == "getColorMatrix";
}

}  // namespace encodertest

#endif
