// The native state of one decoding stream, behind the jlong handle that
// Java holds, and the decoder configuration read from Java.
#ifndef TQ_DECODER_DECODER_CONTEXT_H
#define TQ_DECODER_DECODER_CONTEXT_H

#include <codec_api.h>
#include <jni.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The configuration as read from Java, one member per getter in getter
// order, kept in the width Java delivered it. Member names are those of the
// SDecodingParam fields they feed.
typedef struct DecoderConfig {
  char* pFileNameRestructed;  // owned copy, or null
  int32_t uiCpuLoad;
  uint16_t uiTargetDqLayer;  // the Java char; OpenH264 takes its low 8 bits
  int32_t eEcActiveIdc;
  int32_t bParseOnly;
  int32_t uiVideoPropertySize;
  int32_t eVideoBsType;
} DecoderConfig;

typedef struct DecoderContext {
  ISVCDecoder* decoder;   // brought up by the first Decode after Create or SetConfig
  int64_t needsKeyFrame;  // 1 after a failed decoding call, 0 after a good one
  DecoderConfig decoderConfig;
  jobject allocCallbackRef;  // kept, never used as a Java reference
  jobject returnCallbackRef;
  char errorChannel;
  char debugChannel;
} DecoderContext;

// The context behind a handle; null for the handle 0.
DecoderContext* DecoderFromHandle(jlong handle);

// Uninitialises and destroys the context's OpenH264 decoder, if any.
void ReleaseDecoder(DecoderContext* context);

JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderCreate(
    JNIEnv* env, jclass cls, jobject allocCallback, jobject returnCallback, jobject errorCallback,
    jobject debugCallback);

JNIEXPORT void JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDestroy(
    JNIEnv* env, jclass cls, jlong decoderHandle);

#ifdef __cplusplus
}
#endif

#endif
