// Turning the stored decoder configuration into OpenH264's SDecodingParam.
#ifndef TQ_DECODER_DECODER_PARAMS_H
#define TQ_DECODER_DECODER_PARAMS_H

#include <codec_api.h>
#include <jni.h>
#include <stdint.h>

#include "decoder/decoder_context.h"

#ifdef __cplusplus
extern "C" {
#endif

// Fills `param` from the stored configuration; the file name is lent, not
// copied. Returns -1 (and leaves `param` alone) when no decoder exists yet.
int32_t OpenH264TQDecoderUpdateCodecConfig(JNIEnv* env, jclass cls, DecoderContext* context,
                                           SDecodingParam* param);

#ifdef __cplusplus
}
#endif

#endif
