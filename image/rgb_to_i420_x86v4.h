// The AVX-512 part of the RGB to I420 conversion: whole blocks of 32 pixels
// of a row pair, for the layouts read without dividing by alpha.
#ifndef TQ_IMAGE_RGB_TO_I420_X86V4_H
#define TQ_IMAGE_RGB_TO_I420_X86V4_H

#include "image/rgb_to_i420.h"
#include "image/vector_levels.h"

#if TQ_X86_LEVELS
namespace tq {

// Converts rows y and y + 1 (both in the image) from column 0 on, as far as
// whole blocks of 32 pixels go, and returns how many pixels of each row it
// converted: 0 for the premultiplied layouts. Only for CPUs of x86-64-v4.
// C++ linkage: it exists only in GCC's x86_64 builds, so it stays out of the
// exported C functions every build has.
int ConvertRowPairX86V4(const RgbImage* image, const I420Planes* planes, int y);

}  // namespace tq
#endif

#endif
