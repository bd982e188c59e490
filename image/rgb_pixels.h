// Reading one pixel of any layout (conversion_codes.h) as 0x00RRGGBB, the
// way Java's conversion sees it. Alpha is ignored, except that premultiplied
// colour is first divided by it with BufferedImage.getRGB's float arithmetic,
// so that both give the same picture.
#ifndef TQ_IMAGE_RGB_PIXELS_H
#define TQ_IMAGE_RGB_PIXELS_H

#include <stdint.h>

#include "image/conversion_codes.h"

namespace tq {

// DirectColorModel (TYPE_INT_ARGB_PRE): c * 255 / a, rounded, 0 when a is 0.
inline uint32_t UnpremultiplyDirect(uint32_t colour, uint32_t alpha) {
  if (alpha == 0) return 0;
  return static_cast<uint32_t>(static_cast<float>(colour) * 255.0f / static_cast<float>(alpha) +
                               0.5f);
}

// ComponentColorModel (TYPE_4BYTE_ABGR_PRE): (c / 255) (255 / a) 255, rounded.
inline uint32_t UnpremultiplyComponent(uint32_t colour, uint32_t alpha) {
  if (alpha == 0) return 0;
  float normalised = static_cast<float>(colour) / 255.0f;
  float inverseAlpha = 255.0f / static_cast<float>(alpha);
  return static_cast<uint32_t>(normalised * inverseAlpha * 255.0f + 0.5f);
}

// getRGB joins the three results with OR: a colour larger than its alpha
// (not a valid premultiplied value) spills into the next field, as in Java.
inline uint32_t JoinChannels(uint32_t red, uint32_t green, uint32_t blue) {
  return (red << 16) | (green << 8) | blue;
}

// One int of an int[] layout as 0x00RRGGBB (higher bits are ignored later).
inline uint32_t ReadIntPixel(int layout, uint32_t value) {
  switch (layout) {
    case kLayoutIntBgr:
      return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
    case kLayoutIntArgbPre: {
      uint32_t alpha = value >> 24;
      return JoinChannels(UnpremultiplyDirect((value >> 16) & 0xFF, alpha),
                          UnpremultiplyDirect((value >> 8) & 0xFF, alpha),
                          UnpremultiplyDirect(value & 0xFF, alpha));
    }
    default:  // 0x00RRGGBB or 0xAARRGGBB, alpha ignored
      return value & 0xFFFFFF;
  }
}

// The pixel starting at `pixel` in a byte[] layout.
inline uint32_t ReadBytePixel(int layout, const uint8_t* pixel) {
  if (layout == kLayout3ByteBgr) return JoinChannels(pixel[2], pixel[1], pixel[0]);
  if (layout == kLayout4ByteAbgr) return JoinChannels(pixel[3], pixel[2], pixel[1]);
  uint32_t alpha = pixel[0];  // kLayout4ByteAbgrPre
  return JoinChannels(UnpremultiplyComponent(pixel[3], alpha),
                      UnpremultiplyComponent(pixel[2], alpha),
                      UnpremultiplyComponent(pixel[1], alpha));
}

}  // namespace tq

#endif
