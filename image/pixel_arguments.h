// Checks of the RGB pixel arguments the natives take: an int[] or byte[]
// laid out as a BufferedImage type says, holding every row.
#ifndef TQ_IMAGE_PIXEL_ARGUMENTS_H
#define TQ_IMAGE_PIXEL_ARGUMENTS_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// True when `pixels` is the array type `layout` needs and holds `height`
// rows of `width` pixels from `offset`, `stride` elements apart, and the
// width and height are at least 1. All arithmetic is in 64 bits.
int RgbPixelsFit(JNIEnv* env, jclass cls, jobject pixels, jint offset, jint stride, jint layout,
                 jint width, jint height);

#ifdef __cplusplus
}
#endif

#endif
