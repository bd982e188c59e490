// The codes Java passes to the conversion natives, and what each one means.
//
// Pixel layouts are the BufferedImage types whose rasters hold the pixels, so
// Java passes image.getType() unchanged:
//   1 TYPE_INT_RGB        int[], 0x00RRGGBB (the top byte is ignored)
//   2 TYPE_INT_ARGB       int[], 0xAARRGGBB, alpha ignored
//   3 TYPE_INT_ARGB_PRE   int[], 0xAARRGGBB with premultiplied colour, which
//                         is divided by alpha first as BufferedImage.getRGB does
//   4 TYPE_INT_BGR        int[], 0x00BBGGRR
//   5 TYPE_3BYTE_BGR      byte[], B, G, R
//   6 TYPE_4BYTE_ABGR     byte[], A, B, G, R, alpha ignored
//   7 TYPE_4BYTE_ABGR_PRE byte[], A, B, G, R with premultiplied colour
// Offsets and scanline strides count array elements (ints or bytes), as the
// rasters' sample models do.
//
// Colour matrices are H.264's matrix_coefficients values (VUI), so a stream's
// value passes unchanged: 1 is BT.709, 6 is BT.601 (SMPTE 170M). Range is 0
// for limited (luma 16 to 235) and 1 for full (0 to 255).
#ifndef TQ_IMAGE_CONVERSION_CODES_H
#define TQ_IMAGE_CONVERSION_CODES_H

namespace tq {

enum PixelLayout {
  kLayoutIntRgb = 1,
  kLayoutIntArgb = 2,
  kLayoutIntArgbPre = 3,
  kLayoutIntBgr = 4,
  kLayout3ByteBgr = 5,
  kLayout4ByteAbgr = 6,
  kLayout4ByteAbgrPre = 7,
};

enum ColourMatrix {
  kMatrixBt709 = 1,
  kMatrixBt601 = 6,
};

inline bool PixelLayoutKnown(int layout) {
  return layout >= kLayoutIntRgb && layout <= kLayout4ByteAbgrPre;
}

// True for the layouts held in int[], false for those held in byte[].
inline bool PixelLayoutUsesInts(int layout) {
  return layout >= kLayoutIntRgb && layout <= kLayoutIntBgr;
}

// Array elements one pixel takes.
inline int PixelLayoutElements(int layout) {
  if (PixelLayoutUsesInts(layout)) return 1;
  return layout == kLayout3ByteBgr ? 3 : 4;
}

inline bool ColourMatrixKnown(int matrix) {
  return matrix == kMatrixBt709 || matrix == kMatrixBt601;
}

}  // namespace tq

#endif
