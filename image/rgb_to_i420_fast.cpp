// Two rows at a time, in pieces of kPiece pixels: each piece is read in place
// (TYPE_INT_RGB, TYPE_INT_ARGB, TYPE_INT_BGR, TYPE_4BYTE_ABGR) or unpacked
// into 0x00RRGGBB ints in a small buffer that stays in the L1 cache, then
// luma and chroma are computed in loops of one shape each, which the
// compiler turns into vector code. The arithmetic is that of yuv_formulas.h, regrouped: a block's
// colours are summed before they are weighed. On CPUs of x86-64-v4, whole
// blocks of 32 pixels of a row pair go through rgb_to_i420_x86v4.cpp first,
// and these loops do the rest of the row.
#include <string.h>

#include "image/rgb_pixels.h"
#include "image/rgb_to_i420.h"
#include "image/rgb_to_i420_x86v4.h"
#include "image/vector_levels.h"
#include "image/yuv_formulas.h"

namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the unpacking reads little-endian words");

constexpr int kPiece = 512;  // even, so that a piece starts at a chroma block

// 128 and the rounding half of a 2x1 block's sum at the bottom edge (shifted
// by 17); it keeps the sums positive, as tq::kBlockBias does for 2x2 blocks.
constexpr int32_t kPairBias = (128 << 17) + (1 << 16);

// How the loops read a pixel: an int 0x??RRGGBB, an int 0x00BBGGRR (weighed
// with red's and blue's coefficients swapped), or bytes A, B, G, R (one
// little-endian word 0xRRGGBBAA, shifted).
enum PixelOrder { kIntRgb, kIntBgr, kBytesAbgr };

// Pixels the loops read where they are; the others are unpacked into int
// 0x00RRGGBB first.
bool ReadInPlace(int layout) {
  return layout == tq::kLayoutIntRgb || layout == tq::kLayoutIntArgb ||
         layout == tq::kLayoutIntBgr || layout == tq::kLayout4ByteAbgr;
}

template <int order>
TQ_VECTOR_LOOP uint32_t Load(const void* row, int x) {
  if (order == kBytesAbgr) {
    uint32_t word;
    memcpy(&word, static_cast<const uint8_t*>(row) + 4 * x, 4);
    return word >> 8;
  }
  return static_cast<const uint32_t*>(row)[x];
}

// Bytes B, G, R: four pixels from three little-endian words, which the
// compiler vectorises far better than loads of single bytes three apart.
TQ_VECTOR_LOOP void Unpack3ByteBgr(const uint8_t* in, int width, uint32_t* out) {
  int groups = width / 4;
  for (int i = 0; i < groups; ++i) {
    uint32_t w0, w1, w2;  // B0 G0 R0 B1, G1 R1 B2 G2, R2 B3 G3 R3
    memcpy(&w0, in + 12 * i, 4);
    memcpy(&w1, in + 12 * i + 4, 4);
    memcpy(&w2, in + 12 * i + 8, 4);
    out[4 * i] = w0 & 0xFFFFFF;
    out[4 * i + 1] = (w0 >> 24) | ((w1 & 0xFFFF) << 8);
    out[4 * i + 2] = (w1 >> 16) | ((w2 & 0xFF) << 16);
    out[4 * i + 3] = w2 >> 8;
  }
  for (int x = 4 * groups; x < width; ++x) {
    out[x] = in[3 * x] | (in[3 * x + 1] << 8) | (in[3 * x + 2] << 16);
  }
}

// Premultiplied pixels are divided by their alpha one at a time.
void UnpackPremultiplied(int layout, const void* pixels, int width, uint32_t* out) {
  for (int x = 0; x < width; ++x) {
    out[x] = layout == tq::kLayoutIntArgbPre
                 ? tq::ReadIntPixel(layout, static_cast<const uint32_t*>(pixels)[x])
                 : tq::ReadBytePixel(layout, static_cast<const uint8_t*>(pixels) + 4 * x);
  }
}

// `width` pixels of row y from column x: in place, or unpacked into `buffer`.
TQ_VECTOR_LOOP const void* PieceOf(const RgbImage& image, int x, int y, int width,
                                   uint32_t* buffer) {
  ptrdiff_t start =
      y * image.stride + static_cast<ptrdiff_t>(x) * tq::PixelLayoutElements(image.layout);
  if (tq::PixelLayoutUsesInts(image.layout)) {
    const uint32_t* pixels = static_cast<const uint32_t*>(image.pixels) + start;
    if (ReadInPlace(image.layout)) return pixels;
    UnpackPremultiplied(image.layout, pixels, width, buffer);
    return buffer;
  }
  const uint8_t* pixels = static_cast<const uint8_t*>(image.pixels) + start;
  if (ReadInPlace(image.layout)) return pixels;
  if (image.layout == tq::kLayout3ByteBgr) {
    Unpack3ByteBgr(pixels, width, buffer);
  } else {
    UnpackPremultiplied(image.layout, pixels, width, buffer);
  }
  return buffer;
}

// The coefficients of a chroma plane, or of luma, for pixels 0x00RRGGBB or,
// when `bgr`, 0x00BBGGRR: the one of the high byte first.
struct Weights {
  int32_t high, green, low;
};

constexpr Weights WeightsOf(int32_t red, int32_t green, int32_t blue, bool bgr) {
  return bgr ? Weights{blue, green, red} : Weights{red, green, blue};
}

template <int order>
TQ_VECTOR_LOOP void LumaRow(const void* row, int width, uint8_t* out) {
  constexpr Weights k = WeightsOf(tq::kYR, tq::kYG, tq::kYB, order == kIntBgr);
  for (int x = 0; x < width; ++x) {
    uint32_t p = Load<order>(row, x);
    uint32_t sum = ((p >> 16) & 0xFF) * k.high + ((p >> 8) & 0xFF) * k.green + (p & 0xFF) * k.low +
                   tq::kLumaBias;
    out[x] = static_cast<uint8_t>(sum >> 16);
  }
}

// The high and low colours of up to four pixels summed in one int (each sum
// stays below 2^10, in its own 16 bits), green apart.
inline uint32_t HighLow(uint32_t p) {
  return p & 0xFF00FF;
}
inline uint32_t Green(uint32_t p) {
  return (p >> 8) & 0xFF;
}

inline uint8_t WeighBlock(const Weights& k, uint32_t highLow, uint32_t green, int32_t bias,
                          int shift) {
  int32_t sum = static_cast<int32_t>(highLow >> 16) * k.high +
                static_cast<int32_t>(green) * k.green +
                static_cast<int32_t>(highLow & 0xFFFF) * k.low + bias;
  return static_cast<uint8_t>(sum >> shift);
}

template <int order>
TQ_VECTOR_LOOP void ChromaOfRowPair(const void* row0, const void* row1, int blocks, uint8_t* u,
                                    uint8_t* v) {
  constexpr Weights ku = WeightsOf(tq::kUR, tq::kUG, tq::kUB, order == kIntBgr);
  constexpr Weights kv = WeightsOf(tq::kVR, tq::kVG, tq::kVB, order == kIntBgr);
  for (int cx = 0; cx < blocks; ++cx) {
    uint32_t a = Load<order>(row0, 2 * cx), b = Load<order>(row0, 2 * cx + 1);
    uint32_t c = Load<order>(row1, 2 * cx), d = Load<order>(row1, 2 * cx + 1);
    uint32_t highLow = HighLow(a) + HighLow(b) + HighLow(c) + HighLow(d);
    uint32_t green = Green(a) + Green(b) + Green(c) + Green(d);
    u[cx] = WeighBlock(ku, highLow, green, tq::kBlockBias, 18);
    v[cx] = WeighBlock(kv, highLow, green, tq::kBlockBias, 18);
  }
}

// The last row of an odd height: blocks of two pixels.
template <int order>
TQ_VECTOR_LOOP void ChromaOfLastRow(const void* row, int blocks, uint8_t* u, uint8_t* v) {
  constexpr Weights ku = WeightsOf(tq::kUR, tq::kUG, tq::kUB, order == kIntBgr);
  constexpr Weights kv = WeightsOf(tq::kVR, tq::kVG, tq::kVB, order == kIntBgr);
  for (int cx = 0; cx < blocks; ++cx) {
    uint32_t a = Load<order>(row, 2 * cx), b = Load<order>(row, 2 * cx + 1);
    uint32_t highLow = HighLow(a) + HighLow(b);
    uint32_t green = Green(a) + Green(b);
    u[cx] = WeighBlock(ku, highLow, green, kPairBias, 17);
    v[cx] = WeighBlock(kv, highLow, green, kPairBias, 17);
  }
}

// Pixel x as 0x00RRGGBB for the scalar edge.
template <int order>
uint32_t EdgePixel(const void* row, int x) {
  uint32_t p = Load<order>(row, x);
  return order == kIntBgr ? tq::ReadIntPixel(tq::kLayoutIntBgr, p) : p;
}

// The block of the last column of an odd width: `count` pixels, a and b.
void StoreEdgeChroma(uint32_t a, uint32_t b, int count, uint8_t* u, uint8_t* v) {
  int32_t red = tq::RedOf(a) + (count > 1 ? tq::RedOf(b) : 0);
  int32_t green = tq::GreenOf(a) + (count > 1 ? tq::GreenOf(b) : 0);
  int32_t blue = tq::BlueOf(a) + (count > 1 ? tq::BlueOf(b) : 0);
  *u = tq::ChromaOfBlock(tq::kUR, tq::kUG, tq::kUB, red, green, blue, count);
  *v = tq::ChromaOfBlock(tq::kVR, tq::kVG, tq::kVB, red, green, blue, count);
}

// Rows y and y + 1 (y alone when `pair` is false), from column x on, `width`
// pixels; x is even.
template <int order>
TQ_VECTOR_LOOP void ConvertPiece(const RgbImage& image, const I420Planes& planes, int x, int y,
                                 int width, bool pair) {
  uint32_t buffers[2][kPiece];
  int blocks = width / 2;
  const void* row0 = PieceOf(image, x, y, width, buffers[0]);
  uint8_t* u = planes.u + (y / 2) * planes.chromaStride + x / 2;
  uint8_t* v = planes.v + (y / 2) * planes.chromaStride + x / 2;
  LumaRow<order>(row0, width, planes.y + y * planes.yStride + x);
  if (!pair) {
    ChromaOfLastRow<order>(row0, blocks, u, v);
    if (width % 2 != 0) {
      StoreEdgeChroma(EdgePixel<order>(row0, width - 1), 0, 1, u + blocks, v + blocks);
    }
    return;
  }
  const void* row1 = PieceOf(image, x, y + 1, width, buffers[1]);
  LumaRow<order>(row1, width, planes.y + (y + 1) * planes.yStride + x);
  ChromaOfRowPair<order>(row0, row1, blocks, u, v);
  if (width % 2 != 0) {
    StoreEdgeChroma(EdgePixel<order>(row0, width - 1), EdgePixel<order>(row1, width - 1), 2,
                    u + blocks, v + blocks);
  }
}

// A level's own code for the start of a row pair: converts as many pixels of
// rows y and y + 1 as it can from column 0 on and returns how many (an even
// number), leaving the rest to the loops.
using RowPairStart = int (*)(const RgbImage* image, const I420Planes* planes, int y);

template <int order>
TQ_VECTOR_LOOP void ConvertRowsOf(const RgbImage& image, const I420Planes& planes,
                                  RowPairStart start) {
  for (int y = 0; y < image.height; y += 2) {
    bool pair = y + 1 < image.height;
    int done = pair && start != nullptr ? start(&image, &planes, y) : 0;
    for (int x = done; x < image.width; x += kPiece) {
      int width = image.width - x < kPiece ? image.width - x : kPiece;
      ConvertPiece<order>(image, planes, x, y, width, pair);
    }
  }
}

TQ_VECTOR_LOOP void ConvertRows(const RgbImage& image, const I420Planes& planes,
                                RowPairStart start = nullptr) {
  if (image.layout == tq::kLayoutIntBgr) {
    ConvertRowsOf<kIntBgr>(image, planes, start);
  } else if (image.layout == tq::kLayout4ByteAbgr) {
    ConvertRowsOf<kBytesAbgr>(image, planes, start);
  } else {
    ConvertRowsOf<kIntRgb>(image, planes, start);
  }
}

#if TQ_X86_LEVELS
TQ_TARGET_X86V4 void ConvertRowsX86V4(const RgbImage& image, const I420Planes& planes) {
  ConvertRows(image, planes, tq::ConvertRowPairX86V4);
}

TQ_TARGET_AVX2 void ConvertRowsAvx2(const RgbImage& image, const I420Planes& planes) {
  ConvertRows(image, planes);
}
#endif

}  // namespace

extern "C" void ConvertRgbToI420AtLevel(int level, const RgbImage* image,
                                        const I420Planes* planes) {
#if TQ_X86_LEVELS
  if (level >= kVectorX86V4) return ConvertRowsX86V4(*image, *planes);
  if (level >= kVectorAvx2) return ConvertRowsAvx2(*image, *planes);
#endif
  (void)level;
  ConvertRows(*image, *planes);
}

extern "C" void ConvertRgbToI420Fast(const RgbImage* image, const I420Planes* planes) {
  ConvertRgbToI420AtLevel(BestVectorLevel(), image, planes);
}
