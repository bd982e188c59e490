#include "encoder/config_intake.h"

#include "bridge/getter_reader.h"
#include "bridge/java_status.h"
#include "bridge/message_channel.h"
#include "encoder/encoder_context.h"

namespace {

enum { kConfigFailed = -1 };
// Local references an intake holds at most: a class per getter, the slice
// array and a message, with room to spare.
enum { kIntakeLocalReferences = 48 };
const int kSliceMbBytes = kSliceMbEntries * 4;

void ReadBaseConfig(tq::GetterReader& read, EncoderBaseConfig* config) {
  read.Int(&config->iUsageType, "getUsageType");
  read.Int(&config->iRCMode, "getRcMode");
  read.Float(&config->fMaxFrameRate, "getMaxFrameRate");
  read.Int(&config->iComplexityMode, "getComplexityMode");
  read.Int(&config->uiIntraPeriod, "getIntraPeriod");
  read.Int(&config->iNumRefFrame, "getNumRefFrame");
  read.Int(&config->eSpsPpsIdStrategy, "getParameterStrategy");
  read.Int(&config->bPrefixNalAddingCtrl, "getPrefixNalAddingControl");
  read.Int(&config->bEnableSSEI, "getEnableSsei");
  read.Int(&config->bSimulcastAVC, "getSimulcastAvc");
  read.Int(&config->iPaddingFlag, "getPaddingFlag");
  read.Int(&config->iEntropyCodingModeFlag, "getEntropyCodingModeFlag");
  read.Int(&config->bEnableFrameSkip, "getEnableFrameSkip");
  read.Int(&config->iMinQp, "getMinQP");
  read.Int(&config->iMaxQp, "getMaxQP");
  read.Int(&config->uiMaxNalSize, "getMaxNalSize");
  read.Int(&config->bEnableLongTermReference, "getEnableLongTermReference");
  read.Int(&config->iLTRRefNum, "getLtrNumber");
  read.Int(&config->iLtrMarkPeriod, "getLtrMarkPeriod");
  read.Int(&config->iMultipleThreadIdc, "getMultipleThreadIdc");
  read.Int(&config->bUseLoadBalancing, "getUseLoadBalancing");
  read.Int(&config->iLoopFilterDisableIdc, "getLoopFilterDisableIdc");
  read.Int(&config->iLoopFilterAlphaC0Offset, "getLoopFilterAlphaC0Offset");
  read.Int(&config->iLoopFilterBetaOffset, "getLoopFilterBetaOffset");
  read.Int(&config->bEnableDenoise, "getEnableDenoise");
  read.Int(&config->bEnableBackgroundDetection, "getEnableBackgroundDetection");
  read.Int(&config->bEnableAdaptiveQuant, "getEnableAdaptiveQuant");
  read.Int(&config->bEnableFrameCroppingFlag, "getEnableFrameCroppingFlag");
  read.Int(&config->bEnableSceneChangeDetect, "getEnableSceneChangeDetect");
  read.Int(&config->bIsLosslessLink, "getIsLosslessLink");
  read.Int(&config->iTemporalLayerNum, "getTemporalLayers");
  read.Int(&config->iSpatialLayerNum, "getSpatialLayers");
}

// Getters are called in this order; the slice array comes last.
void ReadLayerConfig(tq::GetterReader& read, EncoderLayerConfig* layer) {
  read.Float(&layer->fFrameRate, "getFrameRate");
  read.Int(&layer->uiProfileIdc, "getProfileIdc");
  read.Int(&layer->uiLevelIdc, "getLevelIdc");
  read.Int(&layer->iDLayerQp, "getDLayerQp");
  read.Int(&layer->uiSliceMode, "getSliceMode");
  read.Int(&layer->uiSliceNum, "getSliceNum");
  read.Int(&layer->uiSliceSizeConstraint, "getSliceSizeConstraint");
  read.Int(&layer->bVideoSignalTypePresent, "getVideoSignalTypePresent");
  read.Char(&layer->uiVideoFormat, "getVideoFormat");
  read.Int(&layer->bFullRange, "getFullRange");
  read.Int(&layer->bColorDescriptionPresent, "getColorDescriptionPresent");
  read.Char(&layer->uiColorPrimaries, "getColorPrimaries");
  read.Char(&layer->uiTransferCharacteristics, "getTransferCharacteristics");
  read.Char(&layer->uiColorMatrix, "getColorMatrix");
  read.Int(&layer->bAspectRatioPresent, "getAspectRatioPresent");
  read.Int(&layer->eAspectRatio, "getAspectRatio");
  read.Int(&layer->sAspectRatioExtWidth, "getAspectRatioExtWidth");
  read.Int(&layer->sAspectRatioExtHeight, "getAspectRatioExtHeight");
  read.IntArray(layer->uiSliceMbNum, kSliceMbBytes, "getSliceMBNum");
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetConfig(
    JNIEnv* env, jclass cls, jlong handle, jobject configObject) {
  EncoderContext* context = EncoderFromHandle(handle);
  if (context == nullptr || configObject == nullptr) return kConfigFailed;
  if (!ReserveLocalReferences(env, kIntakeLocalReferences)) return kConfigFailed;
  tq::GetterReader read = {env, cls, configObject, true};
  ReadBaseConfig(read, &context->config);
  return read.ok ? 0 : kConfigFailed;
}

extern "C" JNIEXPORT jint JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetSpatialLayerConfig(JNIEnv* env, jclass cls,
                                                                           jlong handle,
                                                                           jobject layerObject,
                                                                           jint layer) {
  EncoderContext* context = EncoderFromHandle(handle);
  if (context == nullptr || layerObject == nullptr) return kConfigFailed;
  if (!ReserveLocalReferences(env, kIntakeLocalReferences)) return kConfigFailed;
  SendMessage(env, cls, context->debugChannel,
              "openh264 encode: OpenH264 native encoder setting spatial layer %d config.", layer);
  // Only the four layer slots exist; another index stores nothing.
  if (layer < 0 || layer >= kSpatialLayerSlots) return 0;
  tq::GetterReader read = {env, cls, layerObject, true};
  ReadLayerConfig(read, &context->layerConfig[layer]);
  return read.ok ? 0 : kConfigFailed;
}
