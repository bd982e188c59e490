// I420 to RGB pixels 0x00RRGGBB (TYPE_INT_RGB's raster), in the colour matrix
// and range asked for (conversion_codes.h): each chroma sample covers its 2x2
// block, results outside 0 to 255 are clipped. The coefficients and rounding
// are ImageConversions.toImage's in Java, so both give the same pixels.
#ifndef TQ_IMAGE_I420_TO_RGB_H
#define TQ_IMAGE_I420_TO_RGB_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The planes of a picture of width x height (both at least 1); U and V have
// ((width + 1) / 2) x ((height + 1) / 2) samples at one stride.
typedef struct I420Source {
  const uint8_t* y;
  const uint8_t* u;
  const uint8_t* v;
  ptrdiff_t yStride;
  ptrdiff_t chromaStride;
  int width;
  int height;
} I420Source;

// Where the pixels go: rows of `stride` ints.
typedef struct RgbTarget {
  uint32_t* pixels;
  ptrdiff_t stride;
} RgbTarget;

// Pixel by pixel, the formulas as written: what the fast one is tested
// against. `matrix` is a known matrix code, `fullRange` 0 or 1.
void ConvertI420ToRgbReference(const I420Source* source, int matrix, int fullRange,
                               const RgbTarget* target);

// The same results, by rows in loops the compiler vectorises, compiled for
// the best vector level (vector_levels.h) the CPU has.
void ConvertI420ToRgbFast(const I420Source* source, int matrix, int fullRange,
                          const RgbTarget* target);

// The fast loops compiled for `level`, which the caller knows the CPU runs
// (at most BestVectorLevel()); the tests compare every level.
void ConvertI420ToRgbAtLevel(int level, const I420Source* source, int matrix, int fullRange,
                             const RgbTarget* target);

#ifdef __cplusplus
}
#endif

#endif
