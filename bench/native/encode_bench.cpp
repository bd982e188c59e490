#include "encode_bench.h"

#include <string.h>
#include <time.h>

namespace {

void SetLayerZeroDefaults(SSpatialLayerConfig* layer) {
  // SpatialLayerConfig's defaults; the frame rate follows EncoderConfig's
  // maximum frame rate, as H264Encoder sets it.
  layer->fFrameRate = 30.0f;
  layer->uiProfileIdc = PRO_UNKNOWN;
  layer->uiLevelIdc = LEVEL_UNKNOWN;
  layer->iDLayerQp = 26;
  layer->sSliceArgument.uiSliceMode = SM_SINGLE_SLICE;
  layer->sSliceArgument.uiSliceNum = 0;
  memset(layer->sSliceArgument.uiSliceMbNum, 0, sizeof layer->sSliceArgument.uiSliceMbNum);
  layer->sSliceArgument.uiSliceSizeConstraint = 1500;
  layer->bVideoSignalTypePresent = false;
  layer->uiVideoFormat = 5;
  layer->bFullRange = false;
  layer->bColorDescriptionPresent = false;
  layer->uiColorPrimaries = 2;
  layer->uiTransferCharacteristics = 2;
  layer->uiColorMatrix = 2;
  layer->bAspectRatioPresent = false;
  layer->eAspectRatio = ASP_UNSPECIFIED;
  layer->sAspectRatioExtWidth = 0;
  layer->sAspectRatioExtHeight = 0;
}

// Layers 1 to 3 are never configured by a one-layer encoder, so the library
// copies its zero-filled slots into them.
void SetUnusedLayer(SSpatialLayerConfig* layer) {
  int width = layer->iVideoWidth;
  int height = layer->iVideoHeight;
  memset(layer, 0, sizeof *layer);
  layer->iVideoWidth = width;
  layer->iVideoHeight = height;
}

void SetBaseConfig(SEncParamExt* params) {
  params->iUsageType = CAMERA_VIDEO_REAL_TIME;
  params->iRCMode = RC_BITRATE_MODE;
  params->fMaxFrameRate = 30.0f;
  params->iTemporalLayerNum = 1;
  params->iSpatialLayerNum = 1;
  params->iComplexityMode = LOW_COMPLEXITY;
  params->uiIntraPeriod = 0;
  params->iNumRefFrame = -1;
  params->eSpsPpsIdStrategy = INCREASING_ID;
  params->bPrefixNalAddingCtrl = false;
  params->bEnableSSEI = false;
  params->bSimulcastAVC = false;
  params->iPaddingFlag = 0;
  params->iEntropyCodingModeFlag = 0;
  params->bEnableFrameSkip = false;
  params->iMaxQp = 51;
  params->iMinQp = 0;
  params->uiMaxNalSize = 0;
  params->bEnableLongTermReference = false;
  params->iLTRRefNum = 0;
  params->iLtrMarkPeriod = 30;
  params->iMultipleThreadIdc = 1;
  params->bUseLoadBalancing = true;
  params->iLoopFilterDisableIdc = 0;
  params->iLoopFilterAlphaC0Offset = 0;
  params->iLoopFilterBetaOffset = 0;
  params->bEnableDenoise = false;
  params->bEnableBackgroundDetection = true;
  params->bEnableAdaptiveQuant = true;
  params->bEnableFrameCroppingFlag = true;
  params->bEnableSceneChangeDetect = true;
  params->bIsLosslessLink = false;
}

void SetSizeAndBitrate(const EncodeSettings& settings, SEncParamExt* params) {
  int bitsPerSecond = settings.bitrateUnits * 1024;
  params->iPicWidth = settings.width;
  params->iPicHeight = settings.height;
  params->iTargetBitrate = bitsPerSecond;
  params->iMaxBitrate = bitsPerSecond;
  for (SSpatialLayerConfig& layer : params->sSpatialLayers) {
    layer.iVideoWidth = settings.width;
    layer.iVideoHeight = settings.height;
    layer.iSpatialBitrate = bitsPerSecond;
    layer.iMaxSpatialBitrate = bitsPerSecond;
  }
}

void AppendPicture(const SFrameBSInfo& info, std::vector<uint8_t>* stream,
                   std::vector<int>* sizes) {
  int pictureBytes = 0;
  for (int i = 0; i < info.iLayerNum; ++i) {
    const SLayerBSInfo& layer = info.sLayerInfo[i];
    int layerBytes = 0;
    for (int nal = 0; nal < layer.iNalCount; ++nal) layerBytes += layer.pNalLengthInByte[nal];
    stream->insert(stream->end(), layer.pBsBuf, layer.pBsBuf + layerBytes);
    pictureBytes += layerBytes;
  }
  sizes->push_back(pictureBytes);
}

void FillSource(const EncodeSettings& settings, const std::vector<uint8_t>& picture,
                SSourcePicture* source) {
  memset(source, 0, sizeof *source);
  int lumaBytes = settings.width * settings.height;
  int chromaBytes = lumaBytes / 4;
  uint8_t* data = const_cast<uint8_t*>(picture.data());
  source->iColorFormat = videoFormatI420;
  source->iPicWidth = settings.width;
  source->iPicHeight = settings.height;
  source->iStride[0] = settings.width;
  source->iStride[1] = settings.width / 2;
  source->iStride[2] = settings.width / 2;
  source->pData[0] = data;
  source->pData[1] = data + lumaBytes;
  source->pData[2] = data + lumaBytes + chromaBytes;
  // Whole seconds, as the library stamps its pictures, so the bytes match.
  source->uiTimeStamp = static_cast<long long>(time(nullptr));
}

}  // namespace

int BuildLibraryEquivalentParams(ISVCEncoder* encoder, const EncodeSettings& settings,
                                 SEncParamExt* params) {
  int result = encoder->GetDefaultParams(params);
  if (result != 0) return result;
  SetBaseConfig(params);
  SetLayerZeroDefaults(&params->sSpatialLayers[0]);
  for (int i = 1; i < MAX_SPATIAL_LAYER_NUM; ++i) SetUnusedLayer(&params->sSpatialLayers[i]);
  SetSizeAndBitrate(settings, params);
  if (settings.videoWriterDefaults) {
    params->uiIntraPeriod = 60;
    params->eSpsPpsIdStrategy = CONSTANT_ID;
  }
  return 0;
}

ISVCEncoder* OpenBenchEncoder(const EncodeSettings& settings) {
  ISVCEncoder* encoder = nullptr;
  if (WelsCreateSVCEncoder(&encoder) != 0 || encoder == nullptr) return nullptr;
  SEncParamExt params;
  if (BuildLibraryEquivalentParams(encoder, settings, &params) != 0 ||
      encoder->InitializeExt(&params) != 0) {
    WelsDestroySVCEncoder(encoder);
    return nullptr;
  }
  int format = videoFormatI420;
  encoder->SetOption(ENCODER_OPTION_DATAFORMAT, &format);
  // A new library encoder starts with a key-frame request.
  encoder->ForceIntraFrame(true);
  return encoder;
}

void CloseBenchEncoder(ISVCEncoder* encoder) {
  encoder->Uninitialize();
  WelsDestroySVCEncoder(encoder);
}

int EncodePictures(ISVCEncoder* encoder, const EncodeSettings& settings,
                   const std::vector<std::vector<uint8_t>>& pictures, std::vector<uint8_t>* stream,
                   std::vector<int>* sizes) {
  int produced = 0;
  SSourcePicture source;
  SFrameBSInfo info;
  for (const std::vector<uint8_t>& picture : pictures) {
    FillSource(settings, picture, &source);
    memset(&info, 0, sizeof info);
    if (encoder->EncodeFrame(&source, &info) != 0) return -1;
    if (info.eFrameType == videoFrameTypeInvalid || info.eFrameType == videoFrameTypeSkip) continue;
    ++produced;
    if (stream != nullptr) AppendPicture(info, stream, sizes);
  }
  return produced;
}
