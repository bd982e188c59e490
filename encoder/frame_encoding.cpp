#include "encoder/frame_encoding.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "bridge/codec_ownership.h"
#include "bridge/heap_ownership.h"
#include "bridge/java_arrays.h"
#include "bridge/message_channel.h"
#include "bridge/scoped_java.h"
#include "encoder/encoder_context.h"
#include "encoder/encoder_params.h"
#include "encoder/picture_input.h"
#include "image/conversion_codes.h"
#include "image/pixel_arguments.h"
#include "image/rgb_to_i420.h"
#include "openh264/frame_info.h"

namespace {

// Drops the encoder when the picture size changed since it was built.
void DropEncoderOnSizeChange(EncoderContext* context, jint width, jint height) {
  if (context->encoder == nullptr) return;
  if (width == context->width && height == context->height) return;
  ReleaseEncoder(context);
}

// A new encoder with its parameters for width x height built into params.
// Null when a step fails, with `failure` naming it; the new encoder is then
// already destroyed (it was never initialised).
tq::CreatedEncoder CreateConfiguredEncoder(JNIEnv* env, jclass cls, EncoderContext* context,
                                           jint width, jint height, SEncParamExt* params,
                                           const char** failure) {
  ISVCEncoder* created = nullptr;
  if (CreateOpenH264Encoder(&created) != 0) {
    *failure = "openh264 encode: Could not create openh264 encoder.";
    return nullptr;
  }
  tq::CreatedEncoder encoder(created);
  // The parameter building reads the size from the context and asks the
  // context's encoder for its defaults.
  context->width = width;
  context->height = height;
  context->encoder = created;
  int built = OpenH264TQEncoderBuildEncoderParams(env, cls, context, params);
  context->encoder = nullptr;
  if (built == 0) return encoder;
  *failure = "openh264 encode: Could not configure openh264 encoder.";
  return nullptr;
}

// Creates, configures and initialises an encoder for width x height.
// Returns false, with the failure reported, when any step fails.
bool BuildEncoder(JNIEnv* env, jclass cls, EncoderContext* context, jint width, jint height) {
  SEncParamExt params = {};
  const char* failure = nullptr;
  tq::CreatedEncoder created =
      CreateConfiguredEncoder(env, cls, context, width, height, &params, &failure);
  if (created == nullptr) {
    SendMessage(env, cls, context->errorChannel, "%s", failure);
    return false;
  }
  SendMessage(env, cls, context->debugChannel, "openh264 encode: Initializing encoder.");
  tq::InitializedEncoder encoder(created.release());
  if (encoder->InitializeExt(&params) != 0) {
    SendMessage(env, cls, context->errorChannel,
                "openh264 encode: Could not initialize openh264 encoder.");
    return false;
  }
  int format = videoFormatI420;
  encoder->SetOption(ENCODER_OPTION_DATAFORMAT, &format);
  context->encoder = encoder.release();
  return true;
}

SSourcePicture* NewSourcePicture(const EncoderContext& context, const PictureLayout& layout,
                                 const tq::ScopedPlaneViews& planeViews) {
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

// Pins the planes and encodes; the picture record and the planes are given
// back before EncodeFrame's result (-1 when the planes could not be pinned)
// is returned.
int EncodePicture(JNIEnv* env, jclass cls, EncoderContext* context, jobjectArray planes,
                  const PictureLayout& layout, SFrameBSInfo* info) {
  tq::ScopedPlaneViews planeViews(env, cls, planes, kPlaneCount);
  if (!planeViews.AllPinned()) return -1;
  tq::HeapOwned<SSourcePicture> source(NewSourcePicture(*context, layout, planeViews));
  if (source == nullptr) return -1;
  context->sourcePicture = source.get();
  ConsumeKeyFrameRequest(context);
  memset(info, 0, sizeof *info);
  int result = context->encoder->EncodeFrame(source.get(), info);
  context->sourcePicture = nullptr;
  return result;
}

bool ProducedPicture(JNIEnv* env, jclass cls, const EncoderContext& context, int result,
                     const SFrameBSInfo& info) {
  if (result != 0) return false;
  EVideoFrameType type = EncodedFrameType(&info);
  if (type == videoFrameTypeInvalid) {
    SendMessage(env, cls, context.debugChannel,
                "openh264 encode: Encoder not yet ready or parameters are invalid.");
    return false;
  }
  return type != videoFrameTypeSkip;
}

// Copies every layer's NAL units into the view; false if the layers hold
// more than the frame size the encoder reported.
bool CopyLayers(const SFrameBSInfo& info, jbyte* view) {
  int64_t position = 0;
  int frameSize = EncodedFrameSize(&info);
  for (int i = 0; i < EncodedLayerCount(&info); ++i) {
    EncodedLayer layer = EncodedLayerAt(&info, i);
    int64_t layerBytes = 0;
    for (int nal = 0; nal < layer.nalCount; ++nal) layerBytes += layer.nalLengths[nal];
    if (layerBytes < 0 || position + layerBytes > frameSize) return false;
    if (layerBytes > 0) memcpy(view + position, layer.bitstream, static_cast<size_t>(layerBytes));
    position += layerBytes;
  }
  return true;
}

jbyteArray ReturnPicture(JNIEnv* env, jclass cls, EncoderContext* context, const SFrameBSInfo& info,
                         jintArray outFrameSize) {
  int frameSize = EncodedFrameSize(&info);
  tq::ScopedOutputArray output(env, cls, context->allocCallbackRef, frameSize);
  if (output.view() == nullptr || !CopyLayers(info, output.view())) return nullptr;
  SetOutVariables(env, cls, outFrameSize, 1, frameSize);
  return output.Return(context->returnCallbackRef);
}

// RGB pixels as the encoder is handed them: the Java array and its layout.
struct RgbInput {
  jobject pixels;
  jint offset;
  jint stride;
  jint layout;
  jint width;
  jint height;
};

int64_t ChromaSide(int64_t side) {
  return (side + 1) / 2;
}

// The context's buffer for a converted picture of the input's size, grown
// when too small. Null when memory runs out.
uint8_t* ConvertedPictureBuffer(EncoderContext* context, const RgbInput& input) {
  int64_t bytes = static_cast<int64_t>(input.width) * input.height +
                  2 * ChromaSide(input.width) * ChromaSide(input.height);
  if (bytes > context->convertedBytes) {
    free(context->convertedPicture);
    context->convertedPicture = static_cast<uint8_t*>(malloc(static_cast<size_t>(bytes)));
    context->convertedBytes = context->convertedPicture == nullptr ? 0 : bytes;
  }
  return context->convertedPicture;
}

// Converts the pixels into the context's buffer as a packed I420 picture,
// the Java array pinned only while the conversion runs.
bool ConvertPixels(JNIEnv* env, jclass cls, EncoderContext* context, const RgbInput& input,
                   I420Planes* planes) {
  uint8_t* y = ConvertedPictureBuffer(context, input);
  if (y == nullptr) {
    // Said as an error, so that Java does not take the missing picture for a skipped one.
    SendMessage(env, cls, context->errorChannel,
                "openh264 encode: Could not allocate the converted picture.");
    return false;
  }
  ptrdiff_t chromaWidth = ChromaSide(input.width);
  ptrdiff_t lumaBytes = static_cast<ptrdiff_t>(input.width) * input.height;
  uint8_t* u = y + lumaBytes;
  *planes = {y, u, u + chromaWidth * ChromaSide(input.height), input.width, chromaWidth};
  tq::ScopedCriticalArray source(env, cls, static_cast<jarray>(input.pixels),
                                 tq::ScopedCriticalArray::kRead);
  if (source.get() == nullptr) return false;
  int elementBytes = tq::PixelLayoutUsesInts(input.layout) ? 4 : 1;
  RgbImage image = {static_cast<const uint8_t*>(source.get()) +
                        static_cast<ptrdiff_t>(input.offset) * elementBytes,
                    input.stride, input.layout, input.width, input.height};
  ConvertRgbToI420Fast(&image, planes);
  return true;
}

// Encodes the converted picture, as EncodePicture does a Java one.
int EncodeConverted(EncoderContext* context, const I420Planes& planes, SFrameBSInfo* info) {
  SSourcePicture source = {};
  source.iColorFormat = videoFormatI420;
  source.iPicWidth = context->width;
  source.iPicHeight = context->height;
  source.iStride[0] = static_cast<int>(planes.yStride);
  source.iStride[1] = source.iStride[2] = static_cast<int>(planes.chromaStride);
  source.pData[0] = planes.y;
  source.pData[1] = planes.u;
  source.pData[2] = planes.v;
  source.uiTimeStamp = static_cast<long long>(time(nullptr));
  context->sourcePicture = &source;
  ConsumeKeyFrameRequest(context);
  memset(info, 0, sizeof *info);
  int result = context->encoder->EncodeFrame(&source, info);
  context->sourcePicture = nullptr;
  return result;
}

}  // namespace

extern "C" JNIEXPORT jbyteArray JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodeRgb(
    JNIEnv* env, jclass cls, jlong encoderHandle, jobject pixels, jint pixelOffset,
    jint scanlineStride, jint pixelLayout, jint frameWidth, jint frameHeight,
    jintArray outFrameSize) {
  EncoderContext* context = EncoderFromHandle(encoderHandle);
  if (context == nullptr) return nullptr;
  RgbInput input = {pixels, pixelOffset, scanlineStride, pixelLayout, frameWidth, frameHeight};
  if (!RgbPixelsFit(env, cls, pixels, pixelOffset, scanlineStride, pixelLayout, frameWidth,
                    frameHeight) ||
      ArrayLength(env, cls, outFrameSize) < 1) {
    return nullptr;
  }
  DropEncoderOnSizeChange(context, frameWidth, frameHeight);
  if (context->encoder == nullptr && !BuildEncoder(env, cls, context, frameWidth, frameHeight)) {
    return nullptr;
  }
  I420Planes planes;
  if (!ConvertPixels(env, cls, context, input, &planes)) return nullptr;
  SFrameBSInfo info;
  int result = EncodeConverted(context, planes, &info);
  if (!ProducedPicture(env, cls, *context, result, info)) return nullptr;
  return ReturnPicture(env, cls, context, info, outFrameSize);
}

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
