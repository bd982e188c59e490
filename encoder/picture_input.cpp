#include "encoder/picture_input.h"

#include <stdint.h>

#include "bridge/java_arrays.h"

namespace {

// Bytes a plane must hold: offset + stride * (rows - 1) + rowBytes, in 64
// bits so that no product overflows.
int64_t BytesNeeded(jint offset, jint stride, jint rows, jint rowBytes) {
  return static_cast<int64_t>(offset) + static_cast<int64_t>(stride) * (rows - 1) + rowBytes;
}

bool ArraysPresent(JNIEnv* env, jclass cls, jobjectArray planes, jintArray strides,
                   jintArray offsets, jintArray outFrameSize) {
  return ArrayLength(env, cls, planes) >= kPlaneCount &&
         ArrayLength(env, cls, strides) >= kPlaneCount &&
         ArrayLength(env, cls, offsets) >= kPlaneCount && ArrayLength(env, cls, outFrameSize) >= 1;
}

bool PlaneFits(JNIEnv* env, jclass cls, jobjectArray planes, int plane, jint stride, jint offset,
               jint rows, jint rowBytes) {
  if (stride < rowBytes || offset < 0) return false;
  jint length = InnerArrayLength(env, cls, planes, plane);
  return length >= 0 && BytesNeeded(offset, stride, rows, rowBytes) <= length;
}

}  // namespace

extern "C" int CheckPictureInput(JNIEnv* env, jclass cls, jint width, jint height,
                                 jobjectArray planes, jintArray strides, jintArray offsets,
                                 jintArray outFrameSize, PictureLayout* layout) {
  if (width < 1 || height < 1) return 0;
  if (!ArraysPresent(env, cls, planes, strides, offsets, outFrameSize)) return 0;
  CopyIntArrayPrefix(env, cls, strides, layout->strides, kStrideSlots);
  CopyIntArrayPrefix(env, cls, offsets, layout->offsets, kPlaneCount);
  const jint chromaWidth = width / 2 + width % 2;
  const jint chromaHeight = height / 2 + height % 2;
  for (int plane = 0; plane < kPlaneCount; ++plane) {
    jint rows = plane == 0 ? height : chromaHeight;
    jint rowBytes = plane == 0 ? width : chromaWidth;
    if (!PlaneFits(env, cls, planes, plane, layout->strides[plane], layout->offsets[plane], rows,
                   rowBytes)) {
      return 0;
    }
  }
  return 1;
}
