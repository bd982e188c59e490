#include "image/pixel_arguments.h"

#include <stdint.h>

#include "bridge/java_arrays.h"
#include "bridge/plane_extent.h"
#include "image/conversion_codes.h"

extern "C" int RgbPixelsFit(JNIEnv* env, jclass cls, jobject pixels, jint offset, jint stride,
                            jint layout, jint width, jint height) {
  if (!tq::PixelLayoutKnown(layout) || width < 1 || height < 1) return 0;
  int wanted = tq::PixelLayoutUsesInts(layout) ? 'I' : 'B';
  if (PrimitiveArrayType(env, cls, pixels) != wanted) return 0;
  int64_t rowElements = static_cast<int64_t>(width) * tq::PixelLayoutElements(layout);
  jint length = ArrayLength(env, cls, static_cast<jarray>(pixels));
  return tq::PlaneFits(length, offset, stride, height, rowElements) ? 1 : 0;
}
