#include "image/i420_to_rgb.h"
#include "image/yuv_formulas.h"

extern "C" void ConvertI420ToRgbReference(const I420Source* source, int matrix, int fullRange,
                                          const RgbTarget* target) {
  tq::YuvToRgbCoefficients k = tq::CoefficientsFor(matrix, fullRange != 0);
  for (int y = 0; y < source->height; ++y) {
    for (int x = 0; x < source->width; ++x) {
      ptrdiff_t chroma = (y / 2) * source->chromaStride + x / 2;
      int32_t luma = k.ky * (source->y[y * source->yStride + x] - k.lumaOffset);
      int32_t u = source->u[chroma] - 128;
      int32_t v = source->v[chroma] - 128;
      uint32_t red = tq::ClipToByte((luma + k.rv * v + tq::kToRgbRounding) >> 16);
      uint32_t green = tq::ClipToByte((luma + k.gu * u + k.gv * v + tq::kToRgbRounding) >> 16);
      uint32_t blue = tq::ClipToByte((luma + k.bu * u + tq::kToRgbRounding) >> 16);
      target->pixels[y * target->stride + x] = (red << 16) | (green << 8) | blue;
    }
  }
}
