// The encoder configuration as read from Java, kept in the width Java
// delivered it. Field names are those of the OpenH264 parameters they feed.
#ifndef TQ_ENCODER_ENCODER_CONFIG_H
#define TQ_ENCODER_ENCODER_CONFIG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { kSpatialLayerSlots = 4, kSliceMbEntries = 35 };

typedef struct EncoderBaseConfig {
  int32_t iUsageType;
  int32_t iRCMode;
  float fMaxFrameRate;
  int32_t iComplexityMode;
  int32_t uiIntraPeriod;
  int32_t iNumRefFrame;
  int32_t eSpsPpsIdStrategy;
  int32_t bPrefixNalAddingCtrl;
  int32_t bEnableSSEI;
  int32_t bSimulcastAVC;
  int32_t iPaddingFlag;
  int32_t iEntropyCodingModeFlag;
  int32_t bEnableFrameSkip;
  int32_t iMinQp;
  int32_t iMaxQp;
  int32_t uiMaxNalSize;
  int32_t bEnableLongTermReference;
  int32_t iLTRRefNum;
  int32_t iLtrMarkPeriod;
  int32_t iMultipleThreadIdc;
  int32_t bUseLoadBalancing;
  int32_t iLoopFilterDisableIdc;
  int32_t iLoopFilterAlphaC0Offset;
  int32_t iLoopFilterBetaOffset;
  int32_t bEnableDenoise;
  int32_t bEnableBackgroundDetection;
  int32_t bEnableAdaptiveQuant;
  int32_t bEnableFrameCroppingFlag;
  int32_t bEnableSceneChangeDetect;
  int32_t bIsLosslessLink;
  int32_t iTemporalLayerNum;
  int32_t iSpatialLayerNum;
} EncoderBaseConfig;

typedef struct EncoderLayerConfig {
  float fFrameRate;
  int32_t uiProfileIdc;
  int32_t uiLevelIdc;
  int32_t iDLayerQp;
  int32_t uiSliceMode;
  int32_t uiSliceNum;
  int32_t uiSliceMbNum[kSliceMbEntries];
  int32_t uiSliceSizeConstraint;
  int32_t bVideoSignalTypePresent;
  uint16_t uiVideoFormat;
  int32_t bFullRange;
  int32_t bColorDescriptionPresent;
  uint16_t uiColorPrimaries;
  uint16_t uiTransferCharacteristics;
  uint16_t uiColorMatrix;
  int32_t bAspectRatioPresent;
  int32_t eAspectRatio;
  int32_t sAspectRatioExtWidth;
  int32_t sAspectRatioExtHeight;
} EncoderLayerConfig;

#ifdef __cplusplus
}
#endif

#endif
