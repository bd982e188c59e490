#include "encoder/encoder_context.h"

#include <stdlib.h>

#include "bridge/codec_ownership.h"
#include "bridge/context_handle.h"
#include "bridge/message_channel.h"

extern "C" EncoderContext* EncoderFromHandle(jlong handle) {
  return tq::ContextFromHandle<EncoderContext>(handle);
}

extern "C" void ReleaseEncoder(EncoderContext* context) {
  tq::InitializedEncoder released(context->encoder);
  context->encoder = nullptr;
}

extern "C" JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderCreate(
    JNIEnv* env, jclass cls, jobject allocCallback, jobject returnCallback, jobject errorCallback,
    jobject debugCallback) {
  // Zero-filled, so a picture encoded before any configuration is stored
  // meets defined values; encoder, sourcePicture and convertedPicture start
  // null.
  EncoderContext* context = tq::NewContext<EncoderContext>(env, cls, allocCallback, returnCallback,
                                                           errorCallback, debugCallback);
  if (context == nullptr) return 0;
  context->forceKeyFrame = 1;
  context->width = 0;
  context->height = 0;
  context->bitrate = kInitialEncoderBitrate;
  SendMessage(env, cls, context->debugChannel, "openh264 encode: Created context.");
  return tq::HandleOf(context);
}

extern "C" JNIEXPORT void JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderDestroy(JNIEnv*, jclass, jlong encoderHandle) {
  EncoderContext* context = EncoderFromHandle(encoderHandle);
  if (context == nullptr) return;
  ReleaseEncoder(context);
  // sourcePicture is null here: frame encoding frees it before it returns.
  free(context->convertedPicture);
  free(context);
}
