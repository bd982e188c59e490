// The natives that convert pictures between RGB pixels and I420 in Java's
// arrays. Every argument is checked, in 64 bits, before anything is pinned:
// a bad one returns -1 with nothing read or written. The arrays are pinned
// with GetPrimitiveArrayCritical, as a copy of a large picture would cost
// about as much as converting it.
#include <jni.h>
#include <stdint.h>

#include "bridge/java_arrays.h"
#include "bridge/plane_extent.h"
#include "bridge/scoped_java.h"
#include "image/conversion_codes.h"
#include "image/i420_to_rgb.h"
#include "image/pixel_arguments.h"
#include "image/rgb_to_i420.h"

namespace {

int64_t ChromaSide(int64_t side) {
  return (side + 1) / 2;
}

// A packed I420 picture of width x height at `offset`.
bool PackedI420Fits(JNIEnv* env, jclass cls, jbyteArray i420, jint offset, jint width,
                    jint height) {
  int64_t chroma = ChromaSide(width) * ChromaSide(height);
  int64_t bytes = static_cast<int64_t>(width) * height + 2 * chroma;
  jint length = ArrayLength(env, cls, i420);
  return offset >= 0 && length >= 0 && offset + bytes <= length;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQConvertToI420(
    JNIEnv* env, jclass cls, jobject pixels, jint pixelOffset, jint scanlineStride,
    jint pixelLayout, jint width, jint height, jbyteArray i420, jint i420Offset) {
  if (!RgbPixelsFit(env, cls, pixels, pixelOffset, scanlineStride, pixelLayout, width, height) ||
      !PackedI420Fits(env, cls, i420, i420Offset, width, height) ||
      SameJavaObject(env, cls, pixels, i420)) {
    return -1;
  }
  tq::ScopedCriticalArray source(env, cls, static_cast<jarray>(pixels),
                                 tq::ScopedCriticalArray::kRead);
  tq::ScopedCriticalArray target(env, cls, i420, tq::ScopedCriticalArray::kWrite);
  if (source.get() == nullptr || target.get() == nullptr) return -1;
  int elementBytes = tq::PixelLayoutUsesInts(pixelLayout) ? 4 : 1;
  RgbImage image = {static_cast<const uint8_t*>(source.get()) +
                        static_cast<ptrdiff_t>(pixelOffset) * elementBytes,
                    scanlineStride, pixelLayout, width, height};
  uint8_t* y = static_cast<uint8_t*>(target.get()) + i420Offset;
  ptrdiff_t lumaBytes = static_cast<ptrdiff_t>(width) * height;
  ptrdiff_t chromaWidth = ChromaSide(width);
  ptrdiff_t chromaBytes = chromaWidth * ChromaSide(height);
  I420Planes planes = {y, y + lumaBytes, y + lumaBytes + chromaBytes, width, chromaWidth};
  ConvertRgbToI420Fast(&image, &planes);
  return 0;
}

extern "C" JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQConvertI420ToRgb(
    JNIEnv* env, jclass cls, jbyteArray planes, jint yOffset, jint yStride, jint uOffset,
    jint vOffset, jint chromaStride, jint width, jint height, jint matrix, jint fullRange,
    jintArray rgb, jint rgbOffset, jint rgbStride) {
  if (!tq::ColourMatrixKnown(matrix) || (fullRange != 0 && fullRange != 1) || width < 1 ||
      height < 1) {
    return -1;
  }
  int64_t chromaWidth = ChromaSide(width), chromaHeight = ChromaSide(height);
  jint planesLength = ArrayLength(env, cls, planes);
  if (!tq::PlaneFits(planesLength, yOffset, yStride, height, width) ||
      !tq::PlaneFits(planesLength, uOffset, chromaStride, chromaHeight, chromaWidth) ||
      !tq::PlaneFits(planesLength, vOffset, chromaStride, chromaHeight, chromaWidth) ||
      !tq::PlaneFits(ArrayLength(env, cls, rgb), rgbOffset, rgbStride, height, width)) {
    return -1;
  }
  tq::ScopedCriticalArray source(env, cls, planes, tq::ScopedCriticalArray::kRead);
  tq::ScopedCriticalArray target(env, cls, rgb, tq::ScopedCriticalArray::kWrite);
  if (source.get() == nullptr || target.get() == nullptr) return -1;
  const uint8_t* bytes = static_cast<const uint8_t*>(source.get());
  I420Source picture = {bytes + yOffset, bytes + uOffset, bytes + vOffset, yStride,
                        chromaStride,    width,           height};
  RgbTarget pixels = {static_cast<uint32_t*>(target.get()) + rgbOffset, rgbStride};
  ConvertI420ToRgbFast(&picture, matrix, fullRange, &pixels);
  return 0;
}
