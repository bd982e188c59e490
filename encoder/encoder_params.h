// Turning the stored configuration, picture size and bit rate of a context
// into OpenH264's SEncParamExt, and applying it to a running encoder.
#ifndef TQ_ENCODER_ENCODER_PARAMS_H
#define TQ_ENCODER_ENCODER_PARAMS_H

#include <codec_api.h>
#include <jni.h>
#include <stdint.h>

#include "encoder/encoder_context.h"

#ifdef __cplusplus
extern "C" {
#endif

// A bit rate in units of 1024 bit/s as bit/s, saturated to the int range
// OpenH264 takes (the product is formed in 64 bits, so it never overflows).
int32_t BitrateToBitsPerSecond(int32_t bitrateUnits);

// Fills params from the context: 0 on success, -1 when the context has no
// encoder, otherwise the failing result of GetDefaultParams.
int OpenH264TQEncoderBuildEncoderParams(JNIEnv* env, jclass cls, EncoderContext* context,
                                        SEncParamExt* params);

// Rebuilds the parameters and hands them to the running encoder. Returns 0
// when no encoder runs yet, -1 for a zero handle, else the build's or
// SetOption's result.
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderApplyConfigChanges(
    JNIEnv* env, jclass cls, jlong handle, jlong unused);

#ifdef __cplusplus
}
#endif

#endif
