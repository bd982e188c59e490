// A chroma row's contributions to red, green and blue are computed once and
// spread over the pixels they cover; then every pixel of the (one or two)
// luma rows under it is a plain loop with no index arithmetic, which the
// compiler turns into vector code. The arithmetic is that of the reference.
#include <stdlib.h>

#include "image/i420_to_rgb.h"
#include "image/vector_clones.h"
#include "image/yuv_formulas.h"

namespace {

// The chroma terms of each pixel of a row, rounding half included.
struct ChromaTerms {
  int32_t* red;
  int32_t* green;
  int32_t* blue;
};

inline void SetTerms(const ChromaTerms& terms, int x, int32_t u, int32_t v,
                     const tq::YuvToRgbCoefficients& k) {
  terms.red[x] = k.rv * v + tq::kHalf;
  terms.green[x] = k.gu * u + k.gv * v + tq::kHalf;
  terms.blue[x] = k.bu * u + tq::kHalf;
}

inline void SpreadChromaRow(const uint8_t* uRow, const uint8_t* vRow, int width,
                            const tq::YuvToRgbCoefficients& k, const ChromaTerms& terms) {
  int pairs = width / 2;
  for (int cx = 0; cx < pairs; ++cx) {
    int32_t u = uRow[cx] - 128, v = vRow[cx] - 128;
    SetTerms(terms, 2 * cx, u, v, k);
    SetTerms(terms, 2 * cx + 1, u, v, k);
  }
  if (width % 2 != 0) SetTerms(terms, width - 1, uRow[pairs] - 128, vRow[pairs] - 128, k);
}

inline uint32_t Clip(int32_t value) {
  return static_cast<uint32_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

inline void RgbRow(const uint8_t* lumaRow, int width, const tq::YuvToRgbCoefficients& k,
                   const ChromaTerms& terms, uint32_t* out) {
  for (int x = 0; x < width; ++x) {
    int32_t luma = k.ky * (lumaRow[x] - k.lumaOffset);
    uint32_t red = Clip((luma + terms.red[x]) >> 16);
    uint32_t green = Clip((luma + terms.green[x]) >> 16);
    uint32_t blue = Clip((luma + terms.blue[x]) >> 16);
    out[x] = (red << 16) | (green << 8) | blue;
  }
}

TQ_VECTOR_CLONES void ConvertRows(const I420Source& source, const tq::YuvToRgbCoefficients& k,
                                  const RgbTarget& target, const ChromaTerms& terms) {
  for (int y = 0; y < source.height; ++y) {
    if (y % 2 == 0) {
      ptrdiff_t chromaRow = (y / 2) * source.chromaStride;
      SpreadChromaRow(source.u + chromaRow, source.v + chromaRow, source.width, k, terms);
    }
    RgbRow(source.y + y * source.yStride, source.width, k, terms,
           target.pixels + y * target.stride);
  }
}

}  // namespace

extern "C" int ConvertI420ToRgbFast(const I420Source* source, int matrix, int fullRange,
                                    const RgbTarget* target) {
  size_t width = static_cast<size_t>(source->width);
  int32_t* scratch = static_cast<int32_t*>(malloc(3 * sizeof(int32_t) * width));
  if (scratch == nullptr) return -1;
  ChromaTerms terms = {scratch, scratch + width, scratch + 2 * width};
  ConvertRows(*source, tq::CoefficientsFor(matrix, fullRange != 0), *target, terms);
  free(scratch);
  return 0;
}
