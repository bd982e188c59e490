#include "encoder/picture_input.h"

#include "bridge/java_arrays.h"
#include "bridge/plane_extent.h"

namespace {

bool ArraysPresent(JNIEnv* env, jclass cls, jobjectArray planes, jintArray strides,
                   jintArray offsets, jintArray outFrameSize) {
  return ArrayLength(env, cls, planes) >= kPlaneCount &&
         ArrayLength(env, cls, strides) >= kPlaneCount &&
         ArrayLength(env, cls, offsets) >= kPlaneCount && ArrayLength(env, cls, outFrameSize) >= 1;
}

bool PlaneFits(JNIEnv* env, jclass cls, jobjectArray planes, int plane, jint stride, jint offset,
               jint rows, jint rowBytes) {
  // The shape is judged before the plane array is looked at.
  if (!tq::PlaneShapeValid(offset, stride, rowBytes)) return false;
  jint length = InnerArrayLength(env, cls, planes, plane);  // -1 for a null plane
  return tq::PlaneFits(length, offset, stride, rows, rowBytes);
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
