// Row pairs in blocks of 32 pixels with AVX-512. Each pixel is read from
// memory once and its colours are masked once, for its luma and for the
// chroma of its block; two products at a time come from vpmaddwd. The sums
// are those of the fast loops, so the results are the same bit for bit.
//
// The next row pair is prefetched as this one is read: the hardware
// prefetchers fall behind on two rows at once, and a picture read straight
// from memory (as a video's images are) took half again as long without it.
#include "image/rgb_to_i420_x86v4.h"

#if TQ_X86_LEVELS
// GCC 12 warns of the undefined vector that its own broadcasts and permutes
// pass to their builtins (GCC bug 105593).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "image/conversion_codes.h"
#include "image/yuv_formulas.h"

namespace {

constexpr int kBlock = 32;

// Green's luma coefficient does not fit in 16 bits: green is weighed twice,
// with two halves of it.
constexpr int32_t kLumaGreenLow = tq::kYG / 2;
constexpr int32_t kLumaGreenHigh = tq::kYG - kLumaGreenLow;

// Two 16-bit coefficients in one 32-bit lane, `low` for the low half.
constexpr int32_t Pair(int32_t low, int32_t high) {
  return static_cast<int32_t>((static_cast<uint32_t>(high) << 16) |
                              (static_cast<uint32_t>(low) & 0xFFFF));
}

// The coefficients of luma, U and V for the colour in the low byte, green,
// and the colour in the high byte of a pixel 0x??HHGGLL.
struct ColourWeights {
  int32_t low[3], green[3], high[3];
};

constexpr ColourWeights WeightsFor(bool bgr) {
  // TYPE_INT_BGR holds red in the low byte.
  return bgr ? ColourWeights{{tq::kYR, tq::kUR, tq::kVR},
                             {tq::kYG, tq::kUG, tq::kVG},
                             {tq::kYB, tq::kUB, tq::kVB}}
             : ColourWeights{{tq::kYB, tq::kUB, tq::kVB},
                             {tq::kYG, tq::kUG, tq::kVG},
                             {tq::kYR, tq::kUR, tq::kVR}};
}

// 16 pixels of a layout as 0x??HHGGLL lanes.
template <int layout>
TQ_TARGET_X86V4 inline __m512i Load16(const uint8_t* pixels) {
  if (layout == tq::kLayout3ByteBgr) {
    // 48 bytes: the 12 of each four pixels moved into a 128-bit lane of its
    // own, then spread over four lanes of 32 bits.
    __m512i bytes = _mm512_maskz_loadu_epi8(0xFFFFFFFFFFFFull, pixels);
    __m512i quads = _mm512_permutexvar_epi32(
        _mm512_set_epi32(12, 11, 10, 9, 9, 8, 7, 6, 6, 5, 4, 3, 3, 2, 1, 0), bytes);
    return _mm512_shuffle_epi8(
        quads,
        _mm512_set4_epi32(static_cast<int32_t>(0x800B0A09), static_cast<int32_t>(0x80080706),
                          static_cast<int32_t>(0x80050403), static_cast<int32_t>(0x80020100)));
  }
  __m512i words = _mm512_loadu_si512(pixels);
  // Bytes A, B, G, R: the little-endian word 0xRRGGBBAA.
  return layout == tq::kLayout4ByteAbgr ? _mm512_srli_epi32(words, 8) : words;
}

// Low and high colours as two 16-bit halves, 0x00HH00LL.
TQ_TARGET_X86V4 inline __m512i LowHigh(__m512i pixels) {
  return _mm512_and_si512(pixels, _mm512_set1_epi32(0x00FF00FF));
}

// Green in both 16-bit halves.
TQ_TARGET_X86V4 inline __m512i GreenTwice(__m512i pixels) {
  return _mm512_shuffle_epi8(
      pixels,
      _mm512_set4_epi32(static_cast<int32_t>(0x800D800D), static_cast<int32_t>(0x80098009),
                        static_cast<int32_t>(0x80058005), static_cast<int32_t>(0x80018001)));
}

// 16 bytes of (sum >> shift), sum = lowHigh . kLowHigh + green . kGreen + bias
// (pairwise products of 16-bit halves).
template <int shift>
TQ_TARGET_X86V4 inline void Store16(__m512i lowHigh, __m512i green, __m512i kLowHigh,
                                    __m512i kGreen, __m512i bias, uint8_t* out) {
  __m512i sum = _mm512_add_epi32(_mm512_madd_epi16(lowHigh, kLowHigh), bias);
  sum = _mm512_add_epi32(sum, _mm512_madd_epi16(green, kGreen));
  _mm512_mask_cvtepi32_storeu_epi8(out, 0xFFFF, _mm512_srai_epi32(sum, shift));
}

// Lanes 0 + 1, 2 + 3, ... of a then of b: the sums of pairs of columns.
TQ_TARGET_X86V4 inline __m512i SumOfPairs(__m512i a, __m512i b) {
  const __m512i even = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
  const __m512i odd = _mm512_set_epi32(31, 29, 27, 25, 23, 21, 19, 17, 15, 13, 11, 9, 7, 5, 3, 1);
  return _mm512_add_epi32(_mm512_permutex2var_epi32(a, even, b),
                          _mm512_permutex2var_epi32(a, odd, b));
}

// The first `blocks` blocks of 32 pixels of rows y and y + 1. Written out
// without arrays of vectors, which GCC would keep on the stack.
template <int layout>
TQ_TARGET_X86V4 void ConvertBlocks(const RgbImage& image, const I420Planes& planes, int y,
                                   int blocks) {
  constexpr ColourWeights w = WeightsFor(layout == tq::kLayoutIntBgr);
  const __m512i lumaLowHigh = _mm512_set1_epi32(Pair(w.low[0], w.high[0]));
  const __m512i lumaGreen = _mm512_set1_epi32(Pair(kLumaGreenLow, kLumaGreenHigh));
  const __m512i lumaBias = _mm512_set1_epi32(tq::kLumaBias);
  const __m512i uLowHigh = _mm512_set1_epi32(Pair(w.low[1], w.high[1]));
  const __m512i uGreen = _mm512_set1_epi32(Pair(w.green[1], 0));
  const __m512i vLowHigh = _mm512_set1_epi32(Pair(w.low[2], w.high[2]));
  const __m512i vGreen = _mm512_set1_epi32(Pair(w.green[2], 0));
  const __m512i blockBias = _mm512_set1_epi32(tq::kBlockBias);
  const int pixelBytes = tq::PixelLayoutUsesInts(layout) ? 4 : tq::PixelLayoutElements(layout);
  const ptrdiff_t rowBytes = image.stride * (tq::PixelLayoutUsesInts(layout) ? 4 : 1);
  const uint8_t* row0 = static_cast<const uint8_t*>(image.pixels) + y * rowBytes;
  const uint8_t* row1 = row0 + rowBytes;
  // The row pair after this one, where the image has one.
  const ptrdiff_t ahead = y + 3 < image.height ? 2 * rowBytes : 0;
  uint8_t* luma0 = planes.y + y * planes.yStride;
  uint8_t* luma1 = luma0 + planes.yStride;
  uint8_t* u = planes.u + (y / 2) * planes.chromaStride;
  uint8_t* v = planes.v + (y / 2) * planes.chromaStride;
  for (int block = 0; block < blocks; ++block) {
    const uint8_t* p0 = row0 + block * kBlock * pixelBytes;
    const uint8_t* p1 = row1 + block * kBlock * pixelBytes;
    if (ahead != 0) {
      for (int line = 0; line < kBlock * pixelBytes; line += 64) {
        _mm_prefetch(reinterpret_cast<const char*>(p0 + ahead + line), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(p1 + ahead + line), _MM_HINT_T0);
      }
    }
    // Left and right halves of the block in rows 0 and 1.
    __m512i left0 = Load16<layout>(p0), right0 = Load16<layout>(p0 + 16 * pixelBytes);
    __m512i left1 = Load16<layout>(p1), right1 = Load16<layout>(p1 + 16 * pixelBytes);
    __m512i lowHighLeft0 = LowHigh(left0), lowHighRight0 = LowHigh(right0);
    __m512i lowHighLeft1 = LowHigh(left1), lowHighRight1 = LowHigh(right1);
    __m512i greenLeft0 = GreenTwice(left0), greenRight0 = GreenTwice(right0);
    __m512i greenLeft1 = GreenTwice(left1), greenRight1 = GreenTwice(right1);
    int x = block * kBlock;
    Store16<16>(lowHighLeft0, greenLeft0, lumaLowHigh, lumaGreen, lumaBias, luma0 + x);
    Store16<16>(lowHighRight0, greenRight0, lumaLowHigh, lumaGreen, lumaBias, luma0 + x + 16);
    Store16<16>(lowHighLeft1, greenLeft1, lumaLowHigh, lumaGreen, lumaBias, luma1 + x);
    Store16<16>(lowHighRight1, greenRight1, lumaLowHigh, lumaGreen, lumaBias, luma1 + x + 16);
    // Each column's two rows summed, then each block's two columns.
    __m512i lowHigh = SumOfPairs(_mm512_add_epi32(lowHighLeft0, lowHighLeft1),
                                 _mm512_add_epi32(lowHighRight0, lowHighRight1));
    __m512i green = SumOfPairs(_mm512_add_epi32(greenLeft0, greenLeft1),
                               _mm512_add_epi32(greenRight0, greenRight1));
    Store16<18>(lowHigh, green, uLowHigh, uGreen, blockBias, u + x / 2);
    Store16<18>(lowHigh, green, vLowHigh, vGreen, blockBias, v + x / 2);
  }
}

}  // namespace

int tq::ConvertRowPairX86V4(const RgbImage* image, const I420Planes* planes, int y) {
  int blocks = image->width / kBlock;
  switch (image->layout) {
    case tq::kLayoutIntRgb:
    case tq::kLayoutIntArgb:
      ConvertBlocks<tq::kLayoutIntRgb>(*image, *planes, y, blocks);
      break;
    case tq::kLayoutIntBgr:
      ConvertBlocks<tq::kLayoutIntBgr>(*image, *planes, y, blocks);
      break;
    case tq::kLayout3ByteBgr:
      ConvertBlocks<tq::kLayout3ByteBgr>(*image, *planes, y, blocks);
      break;
    case tq::kLayout4ByteAbgr:
      ConvertBlocks<tq::kLayout4ByteAbgr>(*image, *planes, y, blocks);
      break;
    default:  // premultiplied: divided by alpha pixel by pixel in the loops
      return 0;
  }
  return blocks * kBlock;
}
#endif
