// Row pairs in blocks of 32 pixels with AVX-512: the chroma terms of 16
// samples are computed once and spread over the 64 pixels they cover, then
// each pixel is weighed, clipped and packed in 32-bit lanes. The arithmetic
// is the reference's, so the results are the same bit for bit.
#include "image/i420_to_rgb_x86v4.h"

#if TQ_X86_LEVELS
// GCC 12 warns of the undefined vector that its own broadcasts and permutes
// pass to their builtins (GCC bug 105593).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

namespace {

constexpr int kBlock = 32;

// Lanes 0 to 7 (`high` false) or 8 to 15 of `terms`, each twice: the terms
// of the 16 pixels those chroma samples cover.
TQ_TARGET_X86V4 inline __m512i Spread(__m512i terms, bool high) {
  const __m512i low = _mm512_set_epi32(7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0);
  const __m512i eight = _mm512_set1_epi32(8);
  return _mm512_permutexvar_epi32(high ? _mm512_add_epi32(low, eight) : low, terms);
}

TQ_TARGET_X86V4 inline __m512i ClippedChannel(__m512i scaled, __m512i terms) {
  __m512i value = _mm512_srai_epi32(_mm512_add_epi32(scaled, terms), 16);
  return _mm512_min_epi32(_mm512_max_epi32(value, _mm512_setzero_si512()), _mm512_set1_epi32(255));
}

// 16 pixels of one luma row with the spread chroma terms of their columns.
TQ_TARGET_X86V4 inline void Store16(const uint8_t* luma, const tq::YuvToRgbCoefficients& k,
                                    __m512i red, __m512i green, __m512i blue, uint32_t* out) {
  __m512i y = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma)));
  __m512i scaled = _mm512_mullo_epi32(_mm512_sub_epi32(y, _mm512_set1_epi32(k.lumaOffset)),
                                      _mm512_set1_epi32(k.ky));
  __m512i r = _mm512_slli_epi32(ClippedChannel(scaled, red), 16);
  __m512i g = _mm512_slli_epi32(ClippedChannel(scaled, green), 8);
  __m512i b = ClippedChannel(scaled, blue);
  _mm512_storeu_si512(out, _mm512_ternarylogic_epi32(r, g, b, 0xFE));  // r | g | b
}

// 16 chroma samples as 32-bit lanes, less 128.
TQ_TARGET_X86V4 inline __m512i Chroma16(const uint8_t* samples) {
  __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples));
  return _mm512_sub_epi32(_mm512_cvtepu8_epi32(bytes), _mm512_set1_epi32(128));
}

}  // namespace

TQ_TARGET_X86V4 int tq::ConvertRowPairToRgbX86V4(const I420Source* source,
                                                 const YuvToRgbCoefficients* k,
                                                 const RgbTarget* target, int y) {
  int blocks = source->width / kBlock;
  const uint8_t* luma0 = source->y + y * source->yStride;
  const uint8_t* luma1 = luma0 + source->yStride;
  const uint8_t* uRow = source->u + (y / 2) * source->chromaStride;
  const uint8_t* vRow = source->v + (y / 2) * source->chromaStride;
  uint32_t* out0 = target->pixels + y * target->stride;
  uint32_t* out1 = out0 + target->stride;
  const __m512i rounding = _mm512_set1_epi32(kToRgbRounding);
  for (int block = 0; block < blocks; ++block) {
    int x = block * kBlock;
    __m512i u = Chroma16(uRow + x / 2), v = Chroma16(vRow + x / 2);
    __m512i red = _mm512_add_epi32(_mm512_mullo_epi32(v, _mm512_set1_epi32(k->rv)), rounding);
    __m512i green =
        _mm512_add_epi32(_mm512_add_epi32(_mm512_mullo_epi32(u, _mm512_set1_epi32(k->gu)),
                                          _mm512_mullo_epi32(v, _mm512_set1_epi32(k->gv))),
                         rounding);
    __m512i blue = _mm512_add_epi32(_mm512_mullo_epi32(u, _mm512_set1_epi32(k->bu)), rounding);
    __m512i redLeft = Spread(red, false), redRight = Spread(red, true);
    __m512i greenLeft = Spread(green, false), greenRight = Spread(green, true);
    __m512i blueLeft = Spread(blue, false), blueRight = Spread(blue, true);
    Store16(luma0 + x, *k, redLeft, greenLeft, blueLeft, out0 + x);
    Store16(luma0 + x + 16, *k, redRight, greenRight, blueRight, out0 + x + 16);
    Store16(luma1 + x, *k, redLeft, greenLeft, blueLeft, out1 + x);
    Store16(luma1 + x + 16, *k, redRight, greenRight, blueRight, out1 + x + 16);
  }
  return blocks * kBlock;
}
#endif
