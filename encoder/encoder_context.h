// The native state of one encoding stream, behind the jlong handle that
// Java holds.
#ifndef TQ_ENCODER_ENCODER_CONTEXT_H
#define TQ_ENCODER_ENCODER_CONTEXT_H

#include <codec_api.h>
#include <jni.h>
#include <stdint.h>

#include "encoder/encoder_config.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct EncoderContext {
  ISVCEncoder* encoder;           // created by the first picture
  SSourcePicture* sourcePicture;  // only while a picture is being encoded
  uint8_t* convertedPicture;      // I420 converted from RGB pixels, kept for the next picture
  int64_t convertedBytes;         // the size of convertedPicture
  int64_t forceKeyFrame;          // > 0: the next picture is forced to IDR
  int32_t bitrate;                // units of 1024 bit/s
  int32_t height;                 // size the current encoder was built for
  int32_t width;
  EncoderBaseConfig config;
  EncoderLayerConfig layerConfig[kSpatialLayerSlots];
  jobject allocCallbackRef;  // kept, never used as a Java reference
  jobject returnCallbackRef;
  char errorChannel;
  char debugChannel;
} EncoderContext;

// Bit rates are kept in units of 1024 bit/s, as Java counts them; OpenH264
// counts bit/s.
enum { kInitialEncoderBitrate = 320, kBitrateUnit = 1024 };

// The context behind a handle; null for the handle 0.
EncoderContext* EncoderFromHandle(jlong handle);

// Uninitialises and destroys the context's OpenH264 encoder, if any.
void ReleaseEncoder(EncoderContext* context);

JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderCreate(
    JNIEnv* env, jclass cls, jobject allocCallback, jobject returnCallback, jobject errorCallback,
    jobject debugCallback);

JNIEXPORT void JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderDestroy(
    JNIEnv* env, jclass cls, jlong encoderHandle);

#ifdef __cplusplus
}
#endif

#endif
