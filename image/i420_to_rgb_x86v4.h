// The AVX-512 part of the I420 to RGB conversion: whole blocks of 32 pixels
// of a row pair.
#ifndef TQ_IMAGE_I420_TO_RGB_X86V4_H
#define TQ_IMAGE_I420_TO_RGB_X86V4_H

#include "image/i420_to_rgb.h"
#include "image/vector_levels.h"
#include "image/yuv_formulas.h"

#if TQ_X86_LEVELS
namespace tq {

// Converts rows y and y + 1 (both in the picture) from column 0 on, as far as
// whole blocks of 32 pixels go, and returns how many pixels of each row it
// converted. Only for CPUs of x86-64-v4. C++ linkage: it exists only in
// GCC's x86_64 builds, so it stays out of the exported C functions every
// build has.
int ConvertRowPairToRgbX86V4(const I420Source* source, const YuvToRgbCoefficients* k,
                             const RgbTarget* target, int y);

}  // namespace tq
#endif

#endif
