// Encoding one I420 picture from Java into one array of Annex B bytes.
#ifndef TQ_ENCODER_FRAME_ENCODING_H
#define TQ_ENCODER_FRAME_ENCODING_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// Returns the encoded picture (every layer's NAL units in order) in an array
// from AllocCallback, or null when nothing was produced, the input cannot be
// encoded safely, or anything failed. outFrameSize[0] receives the array's
// length, and is written only when an array is returned.
JNIEXPORT jbyteArray JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodei420(
    JNIEnv* env, jclass cls, jlong encoderHandle, jint frameWidth, jint frameHeight,
    jobjectArray planes, jintArray planeStrides, jintArray planeOffsets, jlong unused,
    jintArray outFrameSize);

// The same for a picture given as RGB pixels, in an int[] or byte[] laid
// out as the BufferedImage type `pixelLayout` says (1 to 7: TYPE_INT_RGB to
// TYPE_4BYTE_ABGR_PRE): converted to I420 (BT.601, limited range) into a
// buffer the context keeps, then encoded. Null, with nothing done, when the
// pixels do not fit those arguments or outFrameSize is null or empty.
JNIEXPORT jbyteArray JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodeRgb(
    JNIEnv* env, jclass cls, jlong encoderHandle, jobject pixels, jint pixelOffset,
    jint scanlineStride, jint pixelLayout, jint frameWidth, jint frameHeight,
    jintArray outFrameSize);

#ifdef __cplusplus
}
#endif

#endif
