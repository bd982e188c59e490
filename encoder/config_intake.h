// Reading the encoder configuration from Java objects into the context.
// Nothing reaches OpenH264 here: the values are used when an encoder is
// built or when changes are applied.
#ifndef TQ_ENCODER_CONFIG_INTAKE_H
#define TQ_ENCODER_CONFIG_INTAKE_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// Reads the 32 getters of the base configuration. Returns 0, or -1 for a
// zero handle, a null object or a getter that is missing or throws (its
// exception is left pending for the Java caller).
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetConfig(
    JNIEnv* env, jclass cls, jlong handle, jobject configObject);

// Reads the 19 getters of one spatial layer (0 to 3). A layer index outside
// that range stores nothing and returns 0; the other failures are those of
// SetConfig.
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetSpatialLayerConfig(
    JNIEnv* env, jclass cls, jlong handle, jobject layerObject, jint layer);

#ifdef __cplusplus
}
#endif

#endif
