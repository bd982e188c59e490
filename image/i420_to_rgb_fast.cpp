// A chroma row's contributions to red, green and blue are computed once and
// spread over the pixels they cover; then every pixel of the (one or two)
// luma rows under it is a plain loop with no index arithmetic, which the
// compiler turns into vector code. Rows go in pieces of kPiece pixels, so
// that the terms stay in the L1 cache. The arithmetic is the reference's. On
// CPUs of x86-64-v4, whole blocks of 32 pixels of a row pair go through
// i420_to_rgb_x86v4.cpp first, and these loops do the rest of the row.
#include "image/i420_to_rgb.h"
#include "image/i420_to_rgb_x86v4.h"
#include "image/vector_levels.h"
#include "image/yuv_formulas.h"

namespace {

constexpr int kPiece = 512;  // even, so that a piece starts at a chroma sample

// The chroma terms of each pixel of a piece, rounding included.
struct ChromaTerms {
  int32_t red[kPiece];
  int32_t green[kPiece];
  int32_t blue[kPiece];
};

TQ_VECTOR_LOOP void SetTerms(ChromaTerms* terms, int x, int32_t u, int32_t v,
                             const tq::YuvToRgbCoefficients& k) {
  terms->red[x] = k.rv * v + tq::kToRgbRounding;
  terms->green[x] = k.gu * u + k.gv * v + tq::kToRgbRounding;
  terms->blue[x] = k.bu * u + tq::kToRgbRounding;
}

// The terms of `width` pixels from the chroma samples under them.
TQ_VECTOR_LOOP void SpreadChroma(const uint8_t* uRow, const uint8_t* vRow, int width,
                                 const tq::YuvToRgbCoefficients& k, ChromaTerms* terms) {
  int pairs = width / 2;
  for (int cx = 0; cx < pairs; ++cx) {
    int32_t u = uRow[cx] - 128, v = vRow[cx] - 128;
    SetTerms(terms, 2 * cx, u, v, k);
    SetTerms(terms, 2 * cx + 1, u, v, k);
  }
  if (width % 2 != 0) SetTerms(terms, width - 1, uRow[pairs] - 128, vRow[pairs] - 128, k);
}

TQ_VECTOR_LOOP uint32_t Clip(int32_t value) {
  return static_cast<uint32_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

TQ_VECTOR_LOOP void RgbPiece(const uint8_t* luma, int width, const tq::YuvToRgbCoefficients& k,
                             const ChromaTerms& terms, uint32_t* out) {
  for (int x = 0; x < width; ++x) {
    int32_t scaled = k.ky * (luma[x] - k.lumaOffset);
    uint32_t red = Clip((scaled + terms.red[x]) >> 16);
    uint32_t green = Clip((scaled + terms.green[x]) >> 16);
    uint32_t blue = Clip((scaled + terms.blue[x]) >> 16);
    out[x] = (red << 16) | (green << 8) | blue;
  }
}

// A level's own code for the start of a row pair: converts as many pixels of
// rows y and y + 1 as it can from column 0 on and returns how many (an even
// number), leaving the rest to the loops.
using RowPairStart = int (*)(const I420Source* source, const tq::YuvToRgbCoefficients* k,
                             const RgbTarget* target, int y);

TQ_VECTOR_LOOP void ConvertRows(const I420Source& source, const tq::YuvToRgbCoefficients& k,
                                const RgbTarget& target, RowPairStart start = nullptr) {
  ChromaTerms terms;
  for (int y = 0; y < source.height; y += 2) {
    const uint8_t* luma0 = source.y + y * source.yStride;
    const uint8_t* luma1 = luma0 + source.yStride;
    const uint8_t* u = source.u + (y / 2) * source.chromaStride;
    const uint8_t* v = source.v + (y / 2) * source.chromaStride;
    uint32_t* out0 = target.pixels + y * target.stride;
    uint32_t* out1 = out0 + target.stride;
    bool pair = y + 1 < source.height;
    int done = pair && start != nullptr ? start(&source, &k, &target, y) : 0;
    for (int x = done; x < source.width; x += kPiece) {
      int width = source.width - x < kPiece ? source.width - x : kPiece;
      SpreadChroma(u + x / 2, v + x / 2, width, k, &terms);
      RgbPiece(luma0 + x, width, k, terms, out0 + x);
      if (pair) RgbPiece(luma1 + x, width, k, terms, out1 + x);
    }
  }
}

#if TQ_X86_LEVELS
TQ_TARGET_X86V4 void ConvertRowsX86V4(const I420Source& source, const tq::YuvToRgbCoefficients& k,
                                      const RgbTarget& target) {
  ConvertRows(source, k, target, tq::ConvertRowPairToRgbX86V4);
}

TQ_TARGET_AVX2 void ConvertRowsAvx2(const I420Source& source, const tq::YuvToRgbCoefficients& k,
                                    const RgbTarget& target) {
  ConvertRows(source, k, target);
}
#endif

}  // namespace

extern "C" void ConvertI420ToRgbAtLevel(int level, const I420Source* source, int matrix,
                                        int fullRange, const RgbTarget* target) {
  tq::YuvToRgbCoefficients k = tq::CoefficientsFor(matrix, fullRange != 0);
#if TQ_X86_LEVELS
  if (level >= kVectorX86V4) return ConvertRowsX86V4(*source, k, *target);
  if (level >= kVectorAvx2) return ConvertRowsAvx2(*source, k, *target);
#endif
  (void)level;
  ConvertRows(*source, k, *target);
}

extern "C" void ConvertI420ToRgbFast(const I420Source* source, int matrix, int fullRange,
                                     const RgbTarget* target) {
  ConvertI420ToRgbAtLevel(BestVectorLevel(), source, matrix, fullRange, target);
}
