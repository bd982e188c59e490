#include "encoder/encoder_params.h"

#include "bridge/message_channel.h"
#include "bridge/store_enum.h"

namespace {

using tq::StoreEnum;

bool NotZero(int32_t value) {
  return value != 0;
}

// The same 32 bits read as unsigned.
uint32_t AsUnsigned(int32_t value) {
  return static_cast<uint32_t>(value);
}

void CopyBaseConfig(const EncoderBaseConfig& config, SEncParamExt* params) {
  StoreEnum(&params->iUsageType, config.iUsageType);
  StoreEnum(&params->iRCMode, config.iRCMode);
  params->fMaxFrameRate = config.fMaxFrameRate;
  params->iTemporalLayerNum = config.iTemporalLayerNum;
  params->iSpatialLayerNum = config.iSpatialLayerNum;
  StoreEnum(&params->iComplexityMode, config.iComplexityMode);
  params->uiIntraPeriod = AsUnsigned(config.uiIntraPeriod);
  params->iNumRefFrame = config.iNumRefFrame;
  StoreEnum(&params->eSpsPpsIdStrategy, config.eSpsPpsIdStrategy);
  params->bPrefixNalAddingCtrl = NotZero(config.bPrefixNalAddingCtrl);
  params->bEnableSSEI = NotZero(config.bEnableSSEI);
  params->bSimulcastAVC = NotZero(config.bSimulcastAVC);
  params->iPaddingFlag = config.iPaddingFlag;
  params->iEntropyCodingModeFlag = config.iEntropyCodingModeFlag;
  params->bEnableFrameSkip = NotZero(config.bEnableFrameSkip);
  params->iMaxQp = config.iMaxQp;
  params->iMinQp = config.iMinQp;
  params->uiMaxNalSize = AsUnsigned(config.uiMaxNalSize);
  params->bEnableLongTermReference = NotZero(config.bEnableLongTermReference);
  params->iLTRRefNum = config.iLTRRefNum;
  params->iLtrMarkPeriod = AsUnsigned(config.iLtrMarkPeriod);
  params->iMultipleThreadIdc = static_cast<unsigned short>(config.iMultipleThreadIdc & 0xFFFF);
  params->bUseLoadBalancing = NotZero(config.bUseLoadBalancing);
  params->iLoopFilterDisableIdc = config.iLoopFilterDisableIdc;
  params->iLoopFilterAlphaC0Offset = config.iLoopFilterAlphaC0Offset;
  params->iLoopFilterBetaOffset = config.iLoopFilterBetaOffset;
  params->bEnableDenoise = NotZero(config.bEnableDenoise);
  params->bEnableBackgroundDetection = NotZero(config.bEnableBackgroundDetection);
  params->bEnableAdaptiveQuant = NotZero(config.bEnableAdaptiveQuant);
  params->bEnableFrameCroppingFlag = NotZero(config.bEnableFrameCroppingFlag);
  params->bEnableSceneChangeDetect = NotZero(config.bEnableSceneChangeDetect);
  params->bIsLosslessLink = NotZero(config.bIsLosslessLink);
}

void CopyLayerConfig(const EncoderLayerConfig& layer, SSpatialLayerConfig* target) {
  target->fFrameRate = layer.fFrameRate;
  StoreEnum(&target->uiProfileIdc, layer.uiProfileIdc);
  StoreEnum(&target->uiLevelIdc, layer.uiLevelIdc);
  target->iDLayerQp = layer.iDLayerQp;
  SSliceArgument& slices = target->sSliceArgument;
  StoreEnum(&slices.uiSliceMode, layer.uiSliceMode);
  slices.uiSliceNum = AsUnsigned(layer.uiSliceNum);
  for (int i = 0; i < kSliceMbEntries; ++i)
    slices.uiSliceMbNum[i] = AsUnsigned(layer.uiSliceMbNum[i]);
  slices.uiSliceSizeConstraint = AsUnsigned(layer.uiSliceSizeConstraint);
  target->bVideoSignalTypePresent = NotZero(layer.bVideoSignalTypePresent);
  target->uiVideoFormat = static_cast<unsigned char>(layer.uiVideoFormat & 0xFF);
  target->bFullRange = NotZero(layer.bFullRange);
  target->bColorDescriptionPresent = NotZero(layer.bColorDescriptionPresent);
  target->uiColorPrimaries = static_cast<unsigned char>(layer.uiColorPrimaries & 0xFF);
  target->uiTransferCharacteristics =
      static_cast<unsigned char>(layer.uiTransferCharacteristics & 0xFF);
  target->uiColorMatrix = static_cast<unsigned char>(layer.uiColorMatrix & 0xFF);
  target->bAspectRatioPresent = NotZero(layer.bAspectRatioPresent);
  StoreEnum(&target->eAspectRatio, layer.eAspectRatio);
  target->sAspectRatioExtWidth = static_cast<unsigned short>(layer.sAspectRatioExtWidth & 0xFFFF);
  target->sAspectRatioExtHeight = static_cast<unsigned short>(layer.sAspectRatioExtHeight & 0xFFFF);
}

// Every layer gets the full picture size and the full bit rate.
void ApplySizeAndBitrate(const EncoderContext& context, SEncParamExt* params) {
  int32_t bitsPerSecond = BitrateToBitsPerSecond(context.bitrate);
  params->iPicWidth = context.width;
  params->iPicHeight = context.height;
  params->iTargetBitrate = bitsPerSecond;
  params->iMaxBitrate = bitsPerSecond;
  for (int i = 0; i < kSpatialLayerSlots; ++i) {
    SSpatialLayerConfig& layer = params->sSpatialLayers[i];
    layer.iVideoWidth = context.width;
    layer.iVideoHeight = context.height;
    layer.iSpatialBitrate = bitsPerSecond;
    layer.iMaxSpatialBitrate = bitsPerSecond;
  }
}

// OpenH264 2.3 writes past its frame buffer when several threads encode
// several slices of a picture that codes larger than the raw picture (noisy
// content at a low QP); with one thread it refuses that picture instead. So a
// picture cut into slices is encoded by one thread.
void KeepSlicedPicturesOnOneThread(const EncoderContext& context, SEncParamExt* params) {
  // Read from the stored ints: the enum field may hold a value its type lacks.
  int layers = context.config.iSpatialLayerNum < 1 ? 1 : context.config.iSpatialLayerNum;
  if (layers > kSpatialLayerSlots) layers = kSpatialLayerSlots;
  for (int i = 0; i < layers; ++i) {
    if (context.layerConfig[i].uiSliceMode != SM_SINGLE_SLICE) {
      params->iMultipleThreadIdc = 1;
      return;
    }
  }
}

}  // namespace

extern "C" int32_t BitrateToBitsPerSecond(int32_t bitrateUnits) {
  int64_t bitsPerSecond = static_cast<int64_t>(bitrateUnits) * kBitrateUnit;
  if (bitsPerSecond > INT32_MAX) return INT32_MAX;
  if (bitsPerSecond < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(bitsPerSecond);
}

extern "C" int OpenH264TQEncoderBuildEncoderParams(JNIEnv* env, jclass cls, EncoderContext* context,
                                                   SEncParamExt* params) {
  if (context->encoder == nullptr) {
    SendMessage(env, cls, context->errorChannel,
                "openh264 encode: Encoder must be created before calling "
                "OpenH264TQEncoderUpdateCodecControl().");
    return -1;
  }
  int result = context->encoder->GetDefaultParams(params);
  if (result != 0) {
    SendMessage(env, cls, context->errorChannel,
                "openh264 encode: Could not initialize H.264 encoder config. %d", result);
    return result;
  }
  CopyBaseConfig(context->config, params);
  for (int i = 0; i < kSpatialLayerSlots; ++i) {
    CopyLayerConfig(context->layerConfig[i], &params->sSpatialLayers[i]);
  }
  ApplySizeAndBitrate(*context, params);
  KeepSlicedPicturesOnOneThread(*context, params);
  return 0;
}

extern "C" JNIEXPORT jint JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderApplyConfigChanges(JNIEnv* env, jclass cls,
                                                                        jlong handle, jlong) {
  EncoderContext* context = EncoderFromHandle(handle);
  if (context == nullptr) return -1;
  // Configuration stored before the first picture is used when it arrives.
  if (context->encoder == nullptr) return 0;
  SEncParamExt params = {};
  int result = OpenH264TQEncoderBuildEncoderParams(env, cls, context, &params);
  if (result != 0) return result;
  return context->encoder->SetOption(ENCODER_OPTION_SVC_ENCODE_PARAM_EXT, &params);
}
