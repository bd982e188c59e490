// Checks that an I420 picture handed in from Java can be encoded without
// OpenH264 reading outside the Java arrays.
#ifndef TQ_ENCODER_PICTURE_INPUT_H
#define TQ_ENCODER_PICTURE_INPUT_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { kPlaneCount = 3, kStrideSlots = 4 };

// The strides and offsets as checked, copied out of the Java arrays so
// that they cannot change between the check and their use.
typedef struct PictureLayout {
  jint strides[kStrideSlots];  // a missing fourth stride is 0
  jint offsets[kPlaneCount];
} PictureLayout;

// True when the arrays hold a whole width x height I420 picture: three
// planes, at least three strides and offsets, none negative, strides at
// least a row wide, every plane long enough for its rows, and an output
// size array with an element. Fills layout when it returns true.
int CheckPictureInput(JNIEnv* env, jclass cls, jint width, jint height, jobjectArray planes,
                      jintArray strides, jintArray offsets, jintArray outFrameSize,
                      PictureLayout* layout);

#ifdef __cplusplus
}
#endif

#endif
