#include "encoder/runtime_controls.h"

#include "encoder/encoder_context.h"
#include "encoder/encoder_params.h"

namespace {

// The bit rate in units of 1024 bit/s as the context or its encoder has it.
jlong CurrentBitrate(const EncoderContext& context) {
  if (context.encoder == nullptr) return context.bitrate;
  SBitrateInfo info = {};
  info.iLayer = SPATIAL_LAYER_ALL;
  if (context.encoder->GetOption(ENCODER_OPTION_BITRATE, &info) != 0) return -1;
  return info.iBitrate / kBitrateUnit;
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderGetForceKeyFrame(JNIEnv*, jclass,
                                                                      jlong encoderHandle) {
  EncoderContext* context = EncoderFromHandle(encoderHandle);
  return context == nullptr ? 0 : context->forceKeyFrame;
}

extern "C" JNIEXPORT void JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetForceKeyFrame(JNIEnv*, jclass,
                                                                      jlong encoderHandle,
                                                                      jlong forceKeyFrameValue) {
  EncoderContext* context = EncoderFromHandle(encoderHandle);
  if (context != nullptr) context->forceKeyFrame = forceKeyFrameValue;
}

extern "C" JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderGetBitrate(
    JNIEnv*, jclass, jlong encoderHandle) {
  EncoderContext* context = EncoderFromHandle(encoderHandle);
  return context == nullptr ? -1 : CurrentBitrate(*context);
}

extern "C" JNIEXPORT void JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetBitrate(
    JNIEnv*, jclass, jlong encoderHandle, jlong bitrateKbps) {
  EncoderContext* context = EncoderFromHandle(encoderHandle);
  if (context == nullptr) return;
  // The low 32 bits of what Java gave.
  context->bitrate = static_cast<int32_t>(static_cast<uint32_t>(bitrateKbps & 0xFFFFFFFF));
  if (context->encoder == nullptr) return;
  SBitrateInfo info = {};
  info.iLayer = SPATIAL_LAYER_ALL;
  info.iBitrate = BitrateToBitsPerSecond(context->bitrate);
  // Raising: lift the maximum first so the target never exceeds it.
  bool raising = CurrentBitrate(*context) < bitrateKbps;
  ENCODER_OPTION first = raising ? ENCODER_OPTION_MAX_BITRATE : ENCODER_OPTION_BITRATE;
  ENCODER_OPTION second = raising ? ENCODER_OPTION_BITRATE : ENCODER_OPTION_MAX_BITRATE;
  context->encoder->SetOption(first, &info);
  context->encoder->SetOption(second, &info);
}

extern "C" JNIEXPORT jint JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetComplexityMode(JNIEnv*, jclass,
                                                                       jlong encoderHandle,
                                                                       jint complexityMode) {
  EncoderContext* context = EncoderFromHandle(encoderHandle);
  if (context == nullptr) return -1;
  context->config.iComplexityMode = complexityMode;
  if (context->encoder == nullptr) return 0;
  int mode = complexityMode;
  return context->encoder->SetOption(ENCODER_OPTION_COMPLEXITY, &mode);
}
