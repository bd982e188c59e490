#include "decoder/decoder_context.h"

#include <stdlib.h>

#include "bridge/codec_ownership.h"
#include "bridge/context_handle.h"

extern "C" DecoderContext* DecoderFromHandle(jlong handle) {
  return tq::ContextFromHandle<DecoderContext>(handle);
}

extern "C" void ReleaseDecoder(DecoderContext* context) {
  tq::InitializedDecoder released(context->decoder);
  context->decoder = nullptr;
}

extern "C" JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderCreate(
    JNIEnv* env, jclass cls, jobject allocCallback, jobject returnCallback, jobject errorCallback,
    jobject debugCallback) {
  // Zero-filled: no decoder and no file name, needsKeyFrame 0, and a Decode
  // before any SetConfig meets a defined (all-zero) configuration.
  DecoderContext* context = tq::NewContext<DecoderContext>(env, cls, allocCallback, returnCallback,
                                                           errorCallback, debugCallback);
  return context == nullptr ? 0 : tq::HandleOf(context);
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
