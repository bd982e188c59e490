// Reading and changing the key-frame request, bit rate and complexity mode
// of an encoder while it runs. Values are always stored in the context, and
// pushed into a running encoder at once.
#ifndef TQ_ENCODER_RUNTIME_CONTROLS_H
#define TQ_ENCODER_RUNTIME_CONTROLS_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// The pending key-frame request (0 for a zero handle).
JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderGetForceKeyFrame(
    JNIEnv* env, jclass cls, jlong encoderHandle);

// A value above 0 makes the next encoded picture an IDR picture.
JNIEXPORT void JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetForceKeyFrame(
    JNIEnv* env, jclass cls, jlong encoderHandle, jlong forceKeyFrameValue);

// Bit rate in units of 1024 bit/s: the stored value while no encoder runs,
// else the encoder's own figure; -1 when the encoder cannot report it or the
// handle is 0.
JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderGetBitrate(
    JNIEnv* env, jclass cls, jlong encoderHandle);

JNIEXPORT void JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetBitrate(
    JNIEnv* env, jclass cls, jlong encoderHandle, jlong bitrateKbps);

// Returns 0, OpenH264's error code, or -1 for a zero handle.
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetComplexityMode(
    JNIEnv* env, jclass cls, jlong encoderHandle, jint complexityMode);

#ifdef __cplusplus
}
#endif

#endif
