#include "decoder/decoder_context.h"

#include <stdlib.h>

#include "bridge/codec_ownership.h"
#include "bridge/message_channel.h"

extern "C" DecoderContext* DecoderFromHandle(jlong handle) {
  return reinterpret_cast<DecoderContext*>(static_cast<intptr_t>(handle));
}

extern "C" void ReleaseDecoder(DecoderContext* context) {
  tq::InitializedDecoder released(context->decoder);
  context->decoder = nullptr;
}

extern "C" JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderCreate(
    JNIEnv* env, jclass cls, jobject allocCallback, jobject returnCallback, jobject errorCallback,
    jobject debugCallback) {
  // Zero-filled: needsKeyFrame starts at 0 and a Decode before any
  // SetConfig meets a defined (all-zero) configuration.
  DecoderContext* context = static_cast<DecoderContext*>(calloc(1, sizeof(DecoderContext)));
  if (context == nullptr) return 0;
  context->decoder = nullptr;
  context->allocCallbackRef = allocCallback;
  context->returnCallbackRef = returnCallback;
  context->errorChannel = GenerateErrorCallback(env, cls, errorCallback);
  context->debugChannel = GenerateDebugCallback(env, cls, debugCallback);
  context->decoderConfig.pFileNameRestructed = nullptr;
  return static_cast<jlong>(reinterpret_cast<intptr_t>(context));
}

extern "C" JNIEXPORT void JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDestroy(JNIEnv*, jclass, jlong decoderHandle) {
  DecoderContext* context = DecoderFromHandle(decoderHandle);
  if (context == nullptr) return;
  free(context->decoderConfig.pFileNameRestructed);
  context->decoderConfig.pFileNameRestructed = nullptr;
  ReleaseDecoder(context);
  free(context);
}
