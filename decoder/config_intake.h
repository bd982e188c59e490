// Reading a decoder configuration from its Java object into the context.
#ifndef TQ_DECODER_CONFIG_INTAKE_H
#define TQ_DECODER_CONFIG_INTAKE_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// Stores the getters' values and drops the running decoder, so that the
// next Decode brings one up from them. -1 for a zero handle, a null object
// or a getter that throws; the stored configuration is then unchanged.
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetConfig(
    JNIEnv* env, jclass cls, jlong decoderHandle, jobject decoderConfigObject);

#ifdef __cplusplus
}
#endif

#endif
