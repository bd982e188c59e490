#include "encoder/frame_encoding.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "bridge/java_arrays.h"
#include "bridge/message_channel.h"
#include "encoder/encoder_context.h"
#include "encoder/encoder_params.h"
#include "encoder/picture_input.h"

namespace {

// Drops the encoder when the picture size changed since it was built.
void DropEncoderOnSizeChange(EncoderContext* context, jint width, jint height) {
  if (context->encoder == nullptr) return;
  if (width == context->width && height == context->height) return;
  ReleaseEncoder(context);
  if (context->sourcePicture != nullptr) {
    free(context->sourcePicture);
    context->sourcePicture = nullptr;
  }
}

// Creates, configures and initialises an encoder for width x height.
// Returns false, with the failure reported, when any step fails.
bool BuildEncoder(JNIEnv* env, jclass cls, EncoderContext* context, jint width, jint height) {
  if (WelsCreateSVCEncoder(&context->encoder) != 0) {
    SendMessage(env, cls, context->errorChannel,
                "openh264 encode: Could not create openh264 encoder.");
    context->encoder = nullptr;
    return false;
  }
  // The parameter building reads the size from the context.
  context->width = width;
  context->height = height;
  SEncParamExt params;
  if (OpenH264TQEncoderBuildEncoderParams(env, cls, context, &params) != 0) {
    WelsDestroySVCEncoder(context->encoder);
    context->encoder = nullptr;
    SendMessage(env, cls, context->errorChannel,
                "openh264 encode: Could not configure openh264 encoder.");
    return false;
  }
  SendMessage(env, cls, context->debugChannel, "openh264 encode: Initializing encoder.");
  if (context->encoder->InitializeExt(&params) != 0) {
    SendMessage(env, cls, context->errorChannel,
                "openh264 encode: Could not initialize openh264 encoder.");
    ReleaseEncoder(context);
    return false;
  }
  int format = videoFormatI420;
  context->encoder->SetOption(ENCODER_OPTION_DATAFORMAT, &format);
  return true;
}

SSourcePicture* NewSourcePicture(const EncoderContext& context, const PictureLayout& layout,
                                 jbyte** planeViews) {
  SSourcePicture* picture = static_cast<SSourcePicture*>(calloc(1, sizeof(SSourcePicture)));
  if (picture == nullptr) return nullptr;
  picture->iColorFormat = videoFormatI420;
  picture->iPicHeight = context.height;
  picture->iPicWidth = context.width;
  for (int i = 0; i < kStrideSlots; ++i) picture->iStride[i] = layout.strides[i];
  picture->uiTimeStamp = static_cast<long long>(time(nullptr));
  for (int i = 0; i < kPlaneCount; ++i) {
    picture->pData[i] =
        reinterpret_cast<unsigned char*>(planeViews[i]) + static_cast<uint32_t>(layout.offsets[i]);
  }
  picture->pData[3] = nullptr;
  return picture;
}

// A pending key-frame request is consumed by every picture that reaches the
// encoder, whatever the outcome.
void ConsumeKeyFrameRequest(EncoderContext* context) {
  if (context->forceKeyFrame > 0) context->encoder->ForceIntraFrame(true);
  context->forceKeyFrame = 0;
}

// Pins the planes, encodes, and releases everything before returning
// EncodeFrame's result (-1 when the planes could not be pinned).
int EncodePicture(JNIEnv* env, jclass cls, EncoderContext* context, jobjectArray planes,
                  const PictureLayout& layout, SFrameBSInfo* info) {
  jbyte** planeViews = Convert2DData(env, cls, planes, kPlaneCount);
  bool pinned = planeViews != nullptr && planeViews[0] != nullptr && planeViews[1] != nullptr &&
                planeViews[2] != nullptr;
  int result = -1;
  if (pinned) context->sourcePicture = NewSourcePicture(*context, layout, planeViews);
  if (context->sourcePicture != nullptr) {
    ConsumeKeyFrameRequest(context);
    memset(info, 0, sizeof *info);
    result = context->encoder->EncodeFrame(context->sourcePicture, info);
    free(context->sourcePicture);
    context->sourcePicture = nullptr;
  }
  Release2DData(env, cls, planeViews, planes, kPlaneCount);
  free(planeViews);
  return result;
}

bool ProducedPicture(JNIEnv* env, jclass cls, const EncoderContext& context, int result,
                     const SFrameBSInfo& info) {
  if (result != 0) return false;
  if (info.eFrameType == videoFrameTypeInvalid) {
    SendMessage(env, cls, context.debugChannel,
                "openh264 encode: Encoder not yet ready or parameters are invalid.");
    return false;
  }
  return info.eFrameType != videoFrameTypeSkip;
}

// Copies every layer's NAL units into the view; false if the layers hold
// more than the frame size the encoder reported.
bool CopyLayers(const SFrameBSInfo& info, jbyte* view) {
  int64_t position = 0;
  for (int i = 0; i < info.iLayerNum; ++i) {
    const SLayerBSInfo& layer = info.sLayerInfo[i];
    int64_t layerBytes = 0;
    for (int nal = 0; nal < layer.iNalCount; ++nal) layerBytes += layer.pNalLengthInByte[nal];
    if (layerBytes < 0 || position + layerBytes > info.iFrameSizeInBytes) return false;
    if (layerBytes > 0) memcpy(view + position, layer.pBsBuf, static_cast<size_t>(layerBytes));
    position += layerBytes;
  }
  return true;
}

jbyteArray ReturnPicture(JNIEnv* env, jclass cls, EncoderContext* context, const SFrameBSInfo& info,
                         jintArray outFrameSize) {
  jbyteArray array = nullptr;
  jbyte* view = AllocateData(env, cls, context->allocCallbackRef, info.iFrameSizeInBytes, &array);
  if (view == nullptr) return nullptr;
  if (!CopyLayers(info, view)) {
    ConvertRelease(env, cls, view, array);
    return nullptr;
  }
  SetOutVariables(env, cls, outFrameSize, 1, info.iFrameSizeInBytes);
  return ReturnData(env, cls, context->returnCallbackRef, view, array);
}

}  // namespace

extern "C" JNIEXPORT jbyteArray JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodei420(
    JNIEnv* env, jclass cls, jlong encoderHandle, jint frameWidth, jint frameHeight,
    jobjectArray planes, jintArray planeStrides, jintArray planeOffsets, jlong,
    jintArray outFrameSize) {
  EncoderContext* context = EncoderFromHandle(encoderHandle);
  if (context == nullptr) return nullptr;
  PictureLayout layout;
  if (!CheckPictureInput(env, cls, frameWidth, frameHeight, planes, planeStrides, planeOffsets,
                         outFrameSize, &layout)) {
    return nullptr;
  }
  DropEncoderOnSizeChange(context, frameWidth, frameHeight);
  if (context->encoder == nullptr && !BuildEncoder(env, cls, context, frameWidth, frameHeight)) {
    return nullptr;
  }
  SFrameBSInfo info;
  int result = EncodePicture(env, cls, context, planes, layout, &info);
  if (!ProducedPicture(env, cls, *context, result, info)) return nullptr;
  return ReturnPicture(env, cls, context, info, outFrameSize);
}
