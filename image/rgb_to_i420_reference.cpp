#include "image/rgb_pixels.h"
#include "image/rgb_to_i420.h"
#include "image/yuv_formulas.h"

namespace {

uint32_t PixelAt(const RgbImage& image, int x, int y) {
  int elements = tq::PixelLayoutElements(image.layout);
  ptrdiff_t index = y * image.stride + static_cast<ptrdiff_t>(x) * elements;
  if (tq::PixelLayoutUsesInts(image.layout)) {
    return tq::ReadIntPixel(image.layout, static_cast<const uint32_t*>(image.pixels)[index]);
  }
  return tq::ReadBytePixel(image.layout, static_cast<const uint8_t*>(image.pixels) + index);
}

// The chroma of the block whose top left pixel is (x, y), of the pixels of
// the block that lie inside the image.
void StoreChroma(const RgbImage& image, int x, int y, const I420Planes& planes) {
  int32_t red = 0, green = 0, blue = 0;
  int count = 0;
  for (int by = y; by < y + 2 && by < image.height; ++by) {
    for (int bx = x; bx < x + 2 && bx < image.width; ++bx) {
      uint32_t pixel = PixelAt(image, bx, by);
      red += tq::RedOf(pixel);
      green += tq::GreenOf(pixel);
      blue += tq::BlueOf(pixel);
      ++count;
    }
  }
  ptrdiff_t at = (y / 2) * planes.chromaStride + x / 2;
  planes.u[at] = tq::ChromaOfBlock(tq::kUR, tq::kUG, tq::kUB, red, green, blue, count);
  planes.v[at] = tq::ChromaOfBlock(tq::kVR, tq::kVG, tq::kVB, red, green, blue, count);
}

}  // namespace

extern "C" void ConvertRgbToI420Reference(const RgbImage* image, const I420Planes* planes) {
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      planes->y[y * planes->yStride + x] = tq::LumaOf(PixelAt(*image, x, y));
    }
  }
  for (int y = 0; y < image->height; y += 2) {
    for (int x = 0; x < image->width; x += 2) StoreChroma(*image, x, y, *planes);
  }
}
