// Two rows at a time: each row is read as 0x00RRGGBB ints (in place for
// TYPE_INT_RGB and TYPE_INT_ARGB, unpacked into scratch rows otherwise),
// then luma and chroma are computed in loops of one shape each, which the
// compiler turns into vector code. The arithmetic is that of yuv_formulas.h,
// regrouped: a block's colours are summed before they are weighed.
#include <stdlib.h>

#include "image/rgb_pixels.h"
#include "image/rgb_to_i420.h"
#include "image/vector_clones.h"
#include "image/yuv_formulas.h"

namespace {

// 128 and the rounding half of a 2x2 block's sum (shifted by 18) and of a
// 2x1 one at the bottom edge (shifted by 17). Both keep the sums positive.
constexpr int32_t kBlockBias = (128 << 18) + (1 << 17);
constexpr int32_t kPairBias = (128 << 17) + (1 << 16);

bool ReadInPlace(int layout) {
  return layout == tq::kLayoutIntRgb || layout == tq::kLayoutIntArgb;
}

inline void UnpackIntBgr(const uint32_t* in, int width, uint32_t* out) {
  for (int x = 0; x < width; ++x) {
    uint32_t p = in[x];
    out[x] = ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
  }
}

inline void Unpack3ByteBgr(const uint8_t* in, int width, uint32_t* out) {
  for (int x = 0; x < width; ++x) {
    out[x] = in[3 * x] | (in[3 * x + 1] << 8) | (in[3 * x + 2] << 16);
  }
}

inline void Unpack4ByteAbgr(const uint8_t* in, int width, uint32_t* out) {
  for (int x = 0; x < width; ++x) {
    out[x] = in[4 * x + 1] | (in[4 * x + 2] << 8) | (in[4 * x + 3] << 16);
  }
}

// Premultiplied pixels are divided by their alpha one at a time.
void UnpackPremultiplied(const RgbImage& image, const void* row, uint32_t* out) {
  for (int x = 0; x < image.width; ++x) {
    out[x] = image.layout == tq::kLayoutIntArgbPre
                 ? tq::ReadIntPixel(image.layout, static_cast<const uint32_t*>(row)[x])
                 : tq::ReadBytePixel(image.layout, static_cast<const uint8_t*>(row) + 4 * x);
  }
}

// Row y as 0x00RRGGBB ints (bits above them are ignored).
inline const uint32_t* RowOf(const RgbImage& image, int y, uint32_t* scratch) {
  if (tq::PixelLayoutUsesInts(image.layout)) {
    const uint32_t* row = static_cast<const uint32_t*>(image.pixels) + y * image.stride;
    if (ReadInPlace(image.layout)) return row;
    if (image.layout == tq::kLayoutIntBgr) {
      UnpackIntBgr(row, image.width, scratch);
    } else {
      UnpackPremultiplied(image, row, scratch);
    }
    return scratch;
  }
  const uint8_t* row = static_cast<const uint8_t*>(image.pixels) + y * image.stride;
  if (image.layout == tq::kLayout3ByteBgr) {
    Unpack3ByteBgr(row, image.width, scratch);
  } else if (image.layout == tq::kLayout4ByteAbgr) {
    Unpack4ByteAbgr(row, image.width, scratch);
  } else {
    UnpackPremultiplied(image, row, scratch);
  }
  return scratch;
}

inline void LumaRow(const uint32_t* row, int width, uint8_t* out) {
  for (int x = 0; x < width; ++x) {
    uint32_t p = row[x];
    uint32_t sum = ((p >> 16) & 0xFF) * tq::kYR + ((p >> 8) & 0xFF) * tq::kYG +
                   (p & 0xFF) * tq::kYB + tq::kLumaBias;
    out[x] = static_cast<uint8_t>(sum >> 16);
  }
}

// Red and blue of up to four pixels summed in one int (each sum stays below
// 2^10, in its own 16 bits), green apart.
inline uint32_t RedBlue(uint32_t p) {
  return p & 0xFF00FF;
}
inline uint32_t Green(uint32_t p) {
  return (p >> 8) & 0xFF;
}

inline uint8_t WeighBlock(int32_t kr, int32_t kg, int32_t kb, uint32_t redBlue, uint32_t green,
                          int32_t bias, int shift) {
  int32_t sum = static_cast<int32_t>(redBlue >> 16) * kr + static_cast<int32_t>(green) * kg +
                static_cast<int32_t>(redBlue & 0xFFFF) * kb + bias;
  return static_cast<uint8_t>(sum >> shift);
}

inline void ChromaOfRowPair(const uint32_t* row0, const uint32_t* row1, int blocks, uint8_t* u,
                            uint8_t* v) {
  for (int cx = 0; cx < blocks; ++cx) {
    uint32_t a = row0[2 * cx], b = row0[2 * cx + 1], c = row1[2 * cx], d = row1[2 * cx + 1];
    uint32_t redBlue = RedBlue(a) + RedBlue(b) + RedBlue(c) + RedBlue(d);
    uint32_t green = Green(a) + Green(b) + Green(c) + Green(d);
    u[cx] = WeighBlock(tq::kUR, tq::kUG, tq::kUB, redBlue, green, kBlockBias, 18);
    v[cx] = WeighBlock(tq::kVR, tq::kVG, tq::kVB, redBlue, green, kBlockBias, 18);
  }
}

// The last row of an odd height: blocks of two pixels.
inline void ChromaOfLastRow(const uint32_t* row, int blocks, uint8_t* u, uint8_t* v) {
  for (int cx = 0; cx < blocks; ++cx) {
    uint32_t a = row[2 * cx], b = row[2 * cx + 1];
    uint32_t redBlue = RedBlue(a) + RedBlue(b);
    uint32_t green = Green(a) + Green(b);
    u[cx] = WeighBlock(tq::kUR, tq::kUG, tq::kUB, redBlue, green, kPairBias, 17);
    v[cx] = WeighBlock(tq::kVR, tq::kVG, tq::kVB, redBlue, green, kPairBias, 17);
  }
}

// The block of the last column of an odd width: `count` pixels, a and b.
void StoreEdgeChroma(uint32_t a, uint32_t b, int count, uint8_t* u, uint8_t* v) {
  int32_t red = tq::RedOf(a) + (count > 1 ? tq::RedOf(b) : 0);
  int32_t green = tq::GreenOf(a) + (count > 1 ? tq::GreenOf(b) : 0);
  int32_t blue = tq::BlueOf(a) + (count > 1 ? tq::BlueOf(b) : 0);
  *u = tq::ChromaOfBlock(tq::kUR, tq::kUG, tq::kUB, red, green, blue, count);
  *v = tq::ChromaOfBlock(tq::kVR, tq::kVG, tq::kVB, red, green, blue, count);
}

TQ_VECTOR_CLONES void ConvertRows(const RgbImage& image, const I420Planes& planes,
                                  uint32_t* scratch) {
  int width = image.width;
  int blocks = width / 2;
  int y = 0;
  for (; y + 1 < image.height; y += 2) {
    const uint32_t* row0 = RowOf(image, y, scratch);
    const uint32_t* row1 = RowOf(image, y + 1, scratch + width);
    LumaRow(row0, width, planes.y + y * planes.yStride);
    LumaRow(row1, width, planes.y + (y + 1) * planes.yStride);
    uint8_t* u = planes.u + (y / 2) * planes.chromaStride;
    uint8_t* v = planes.v + (y / 2) * planes.chromaStride;
    ChromaOfRowPair(row0, row1, blocks, u, v);
    if (width % 2 != 0)
      StoreEdgeChroma(row0[width - 1], row1[width - 1], 2, u + blocks, v + blocks);
  }
  if (y < image.height) {
    const uint32_t* row = RowOf(image, y, scratch);
    LumaRow(row, width, planes.y + y * planes.yStride);
    uint8_t* u = planes.u + (y / 2) * planes.chromaStride;
    uint8_t* v = planes.v + (y / 2) * planes.chromaStride;
    ChromaOfLastRow(row, blocks, u, v);
    if (width % 2 != 0) StoreEdgeChroma(row[width - 1], 0, 1, u + blocks, v + blocks);
  }
}

}  // namespace

extern "C" int ConvertRgbToI420Fast(const RgbImage* image, const I420Planes* planes) {
  uint32_t* scratch = nullptr;
  if (!ReadInPlace(image->layout)) {
    scratch =
        static_cast<uint32_t*>(malloc(2 * sizeof(uint32_t) * static_cast<size_t>(image->width)));
    if (scratch == nullptr) return -1;
  }
  ConvertRows(*image, *planes, scratch);
  free(scratch);
  return 0;
}
