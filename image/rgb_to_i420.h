// RGB pixels of any layout (conversion_codes.h) to I420, BT.601 limited
// range, as ImageConversions.toI420 in Java computes it: each pixel's luma,
// and the rounded mean chroma of each 2x2 block (at an odd right or bottom
// edge, of the pixels the block has).
#ifndef TQ_IMAGE_RGB_TO_I420_H
#define TQ_IMAGE_RGB_TO_I420_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Pixels of a known layout. `pixels` points at the first pixel: uint32_t
// elements for the int[] layouts, bytes for the byte[] ones; `stride` is the
// distance between rows in those elements. Width and height are at least 1.
typedef struct RgbImage {
  const void* pixels;
  ptrdiff_t stride;
  int layout;
  int width;
  int height;
} RgbImage;

// Writable planes of a picture of the image's size: Y of width x height,
// U and V of ((width + 1) / 2) x ((height + 1) / 2).
typedef struct I420Planes {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  ptrdiff_t yStride;
  ptrdiff_t chromaStride;
} I420Planes;

// Pixel by pixel, the formulas as written: what the fast one is tested
// against.
void ConvertRgbToI420Reference(const RgbImage* image, const I420Planes* planes);

// The same results, by row pairs in loops the compiler vectorises, compiled
// for the best vector level (vector_levels.h) the CPU has.
void ConvertRgbToI420Fast(const RgbImage* image, const I420Planes* planes);

// The fast loops compiled for `level`, which the caller knows the CPU runs
// (at most BestVectorLevel()); the tests compare every level.
void ConvertRgbToI420AtLevel(int level, const RgbImage* image, const I420Planes* planes);

#ifdef __cplusplus
}
#endif

#endif
