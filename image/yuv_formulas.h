// The integer formulas of both conversions, shared by the reference and the
// fast implementations. RGB to I420 is BT.601 limited range in 16-bit fixed
// point, the constants and rounding of ImageConversions in Java; I420 to RGB
// takes its coefficients from the matrix and range asked for.
#ifndef TQ_IMAGE_YUV_FORMULAS_H
#define TQ_IMAGE_YUV_FORMULAS_H

#include <stdint.h>

#include "image/conversion_codes.h"

namespace tq {

// Y = 16 + 0.256788 R + 0.504129 G + 0.097906 B, U = 128 - 0.148223 R
// - 0.290993 G + 0.439216 B, V = 128 + 0.439216 R - 0.367788 G - 0.071427 B.
constexpr int32_t kYR = 16829;
constexpr int32_t kYG = 33039;
constexpr int32_t kYB = 6416;
constexpr int32_t kUR = -9714;
constexpr int32_t kUG = -19070;
constexpr int32_t kUB = 28784;
constexpr int32_t kVR = 28784;
constexpr int32_t kVG = -24103;
constexpr int32_t kVB = -4681;

constexpr int32_t kHalf = 1 << 15;
// 16 plus the rounding half, added to each pixel's luma sum.
constexpr int32_t kLumaBias = (16 << 16) + kHalf;

// 128 and the rounding half of the sum of a 2x2 block, shifted by 18 (the
// mean of four); it keeps the sums positive, so the shift floors them.
constexpr int32_t kBlockBias = (128 << 18) + (1 << 17);

inline int32_t RedOf(uint32_t rgb) {
  return static_cast<int32_t>((rgb >> 16) & 0xFF);
}
inline int32_t GreenOf(uint32_t rgb) {
  return static_cast<int32_t>((rgb >> 8) & 0xFF);
}
inline int32_t BlueOf(uint32_t rgb) {
  return static_cast<int32_t>(rgb & 0xFF);
}

inline uint8_t LumaOf(uint32_t rgb) {
  return static_cast<uint8_t>(
      16 + ((kYR * RedOf(rgb) + kYG * GreenOf(rgb) + kYB * BlueOf(rgb) + kHalf) >> 16));
}

// 128 plus the mean of `count` pixels' weighted sums, rounded half up: the
// coefficients of each chroma row add up to 0, so the sums of the colours
// of the block are weighed once.
inline uint8_t ChromaOfBlock(int32_t kr, int32_t kg, int32_t kb, int32_t red, int32_t green,
                             int32_t blue, int count) {
  int64_t sum = static_cast<int64_t>(kr) * red + static_cast<int64_t>(kg) * green +
                static_cast<int64_t>(kb) * blue;
  int64_t scaled = static_cast<int64_t>(count) << 16;
  int64_t numerator = 2 * sum + scaled;
  int64_t denominator = 2 * scaled;
  int64_t quotient = numerator / denominator;
  if (numerator % denominator != 0 && numerator < 0) --quotient;  // floor, as Math.floorDiv
  return static_cast<uint8_t>(128 + quotient);
}

// The rounding added before RGB results are shifted down: an eighth rather
// than a half, as in ImageConversions.toImage. ffmpeg's swscale, which players
// use, truncates; this lands within 2 levels of it while white (235) still
// comes out as 255.
constexpr int32_t kToRgbRounding = 1 << 13;

// R = KY (Y - offset) + RV (V - 128), G = KY (Y - offset) + GU (U - 128)
// + GV (V - 128), B = KY (Y - offset) + BU (U - 128), in 16-bit fixed point.
struct YuvToRgbCoefficients {
  int32_t lumaOffset;
  int32_t ky;
  int32_t rv;
  int32_t gu;
  int32_t gv;
  int32_t bu;
};

// The coefficients of a known matrix (conversion_codes.h) and range: the
// standard ones rounded to 16 fractional bits, as ImageConversions computes
// them in Java.
inline YuvToRgbCoefficients CoefficientsFor(int matrix, bool fullRange) {
  if (matrix == kMatrixBt709) {
    return fullRange ? YuvToRgbCoefficients{0, 65536, 103206, -12276, -30679, 121609}
                     : YuvToRgbCoefficients{16, 76309, 117489, -13975, -34925, 138438};
  }
  return fullRange ? YuvToRgbCoefficients{0, 65536, 91881, -22553, -46802, 116130}
                   : YuvToRgbCoefficients{16, 76309, 104597, -25675, -53279, 132201};
}

inline int32_t ClipToByte(int32_t value) {
  return value < 0 ? 0 : value > 255 ? 255 : value;
}

}  // namespace tq

#endif
