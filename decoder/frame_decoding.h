// Decoding one buffer of H.264 bytes from Java into one I420 picture.
#ifndef TQ_DECODER_FRAME_DECODING_H
#define TQ_DECODER_FRAME_DECODING_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// Hands the first bitstreamLength bytes of `bitstream` (never more than it
// holds) to the context's decoder, bringing the decoder up first when there
// is none. Returns a finished picture as one array from AllocCallback with
// the Y, U and V planes back to back at the decoder's strides, or null.
// The five out-arrays (at least 1, 1, 3, 3 and 1 elements, else the call
// does nothing) receive the picture's geometry only when one is returned.
// A null bitstream marks the end of the stream: a picture the decoder still
// holds back is then handed out.
JNIEXPORT jbyteArray JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecode(
    JNIEnv* env, jclass cls, jlong decoderHandle, jbyteArray bitstream, jint bitstreamLength,
    jintArray outWidth, jintArray outHeight, jintArray outStrides, jintArray outPlaneSizes,
    jintArray outPlaneCount);

// The same decoding step, but a picture whose rows fit into `rgb` (from
// rgbOffset, rgbStride ints apart) is written there as 0x00RRGGBB pixels in
// the colour matrix (1 BT.709, 6 BT.601) and range (0 limited, 1 full)
// asked for: the call then returns null with the picture's width and height
// in the out-arrays and a plane count of 0. A picture that does not fit is
// returned as planes, as above. Bad pixel arguments (an unknown matrix or
// range, a negative offset, a stride below 1, a null array) return null
// before anything is decoded.
JNIEXPORT jbyteArray JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecodeToRgb(
    JNIEnv* env, jclass cls, jlong decoderHandle, jbyteArray bitstream, jint bitstreamLength,
    jintArray outWidth, jintArray outHeight, jintArray outStrides, jintArray outPlaneSizes,
    jintArray outPlaneCount, jintArray rgb, jint rgbOffset, jint rgbStride, jint matrix,
    jint fullRange);

#ifdef __cplusplus
}
#endif

#endif
