// The decoder's key-frame request: raised by a failed decoding call, cleared
// by a good one, and read or set by Java.
#ifndef TQ_DECODER_KEY_FRAME_FLAG_H
#define TQ_DECODER_KEY_FRAME_FLAG_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderGetNeedsKeyFrame(
    JNIEnv* env, jclass cls, jlong decoderHandle);

JNIEXPORT void JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetNeedsKeyFrame(
    JNIEnv* env, jclass cls, jlong decoderHandle, jlong value);

#ifdef __cplusplus
}
#endif

#endif
