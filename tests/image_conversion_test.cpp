// The picture conversions: the fast loops against the reference, the
// reference against values worked out by hand from Java's formulas, and the
// natives' argument checks.
#include <gtest/gtest.h>
#include <jni.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "image/conversion_codes.h"
#include "image/i420_to_rgb.h"
#include "image/rgb_to_i420.h"
#include "image/vector_levels.h"
#include "tests/fakes/fake_jni.h"
#include "tests/fakes/fake_jvm_test.h"

extern "C" {
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQConvertToI420(
    JNIEnv* env, jclass cls, jobject pixels, jint pixelOffset, jint scanlineStride,
    jint pixelLayout, jint width, jint height, jbyteArray i420, jint i420Offset);
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQConvertI420ToRgb(
    JNIEnv* env, jclass cls, jbyteArray planes, jint yOffset, jint yStride, jint uOffset,
    jint vOffset, jint chromaStride, jint width, jint height, jint matrix, jint fullRange,
    jintArray rgb, jint rgbOffset, jint rgbStride);
}

namespace {

const int kLayouts[] = {tq::kLayoutIntRgb,      tq::kLayoutIntArgb,  tq::kLayoutIntArgbPre,
                        tq::kLayoutIntBgr,      tq::kLayout3ByteBgr, tq::kLayout4ByteAbgr,
                        tq::kLayout4ByteAbgrPre};

int ChromaSide(int side) {
  return (side + 1) / 2;
}

// Random bytes; in premultiplied layouts most colours stay at or below their
// alpha, as valid ones do, and some exceed it.
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

// An image of a layout with its rows `stride` elements apart, starting at
// element `offset` of a buffer that ends with its last pixel, so that the
// sanitizer build catches a read past it.
struct TestImage {
  std::vector<uint8_t> storage;
  RgbImage image;
};

TestImage MakeImage(int layout, int width, int height, int extraStride, int offset, uint32_t seed) {
  TestImage made;
  int elements = tq::PixelLayoutElements(layout);
  ptrdiff_t stride = static_cast<ptrdiff_t>(width) * elements + extraStride;
  size_t count = static_cast<size_t>(offset + stride * (height - 1) + width * elements);
  int elementBytes = tq::PixelLayoutUsesInts(layout) ? 4 : 1;
  made.storage = RandomBytes(count * elementBytes, seed);  // new[] aligns it for ints
  made.image = {made.storage.data() + static_cast<ptrdiff_t>(offset) * elementBytes, stride, layout,
                width, height};
  return made;
}

// Planes at strides wider than the picture, in one buffer filled with a
// pattern, so that writes outside them show as differences.
struct TestPlanes {
  std::vector<uint8_t> bytes;
  I420Planes planes;
};

TestPlanes MakePlanes(int width, int height, int extraStride) {
  TestPlanes made;
  ptrdiff_t yStride = width + extraStride, chromaStride = ChromaSide(width) + extraStride;
  size_t lumaBytes = static_cast<size_t>(yStride * height);
  size_t chromaBytes = static_cast<size_t>(chromaStride * ChromaSide(height));
  made.bytes.assign(lumaBytes + 2 * chromaBytes + 16, 0xA5);
  uint8_t* y = made.bytes.data() + 3;
  made.planes = {y, y + lumaBytes + 2, y + lumaBytes + chromaBytes + 4, yStride, chromaStride};
  return made;
}

struct Shape {
  int width;
  int height;
  int extraStride;
  int offset;
};

// 33 and 1025 leave one pixel after the AVX-512 code's blocks of 32, and
// 1025 ends in an odd piece of the fast loops; 1920x1080 is a crop, a window
// of a wider raster at an offset.
const Shape kShapes[] = {{1, 1, 0, 0},  {1, 3, 0, 5},    {3, 1, 2, 0},          {2, 2, 0, 1},
                         {17, 9, 0, 0}, {17, 9, 3, 7},   {33, 31, 1, 33},       {64, 2, 0, 0},
                         {4, 5, 5, 2},  {1025, 3, 1, 3}, {1920, 1080, 64, 1000}};

// Every vector level this CPU runs (the natives take the best).
TEST(ImageConversion, FastConversionsEqualTheReference) {
  uint32_t seed = 1;
  for (const Shape& shape : kShapes) {
    for (int layout : kLayouts) {
      SCOPED_TRACE("RGB to I420, layout " + std::to_string(layout) + ", " +
                   std::to_string(shape.width) + "x" + std::to_string(shape.height) + " stride +" +
                   std::to_string(shape.extraStride) + " offset " + std::to_string(shape.offset));
      TestImage source =
          MakeImage(layout, shape.width, shape.height, shape.extraStride, shape.offset, ++seed);
      TestPlanes reference = MakePlanes(shape.width, shape.height, shape.extraStride);
      ConvertRgbToI420Reference(&source.image, &reference.planes);
      for (int level = kVectorBaseline; level <= BestVectorLevel(); ++level) {
        TestPlanes fast = MakePlanes(shape.width, shape.height, shape.extraStride);
        ConvertRgbToI420AtLevel(level, &source.image, &fast.planes);
        ASSERT_EQ(fast.bytes, reference.bytes) << "vector level " << level;
      }
    }
    for (int matrix : {tq::kMatrixBt601, tq::kMatrixBt709}) {
      for (int fullRange : {0, 1}) {
        SCOPED_TRACE("I420 to RGB, matrix " + std::to_string(matrix) + " full range " +
                     std::to_string(fullRange) + ", " + std::to_string(shape.width) + "x" +
                     std::to_string(shape.height));
        TestPlanes planes = MakePlanes(shape.width, shape.height, shape.extraStride);
        std::vector<uint8_t> random = RandomBytes(planes.bytes.size(), ++seed);
        std::copy(random.begin(), random.end(), planes.bytes.begin());
        I420Source source = {planes.planes.y,
                             planes.planes.u,
                             planes.planes.v,
                             planes.planes.yStride,
                             planes.planes.chromaStride,
                             shape.width,
                             shape.height};
        ptrdiff_t stride = shape.width + shape.extraStride;
        size_t count = static_cast<size_t>(shape.offset + stride * shape.height + 3);
        std::vector<uint32_t> reference(count, 0xDEADBEEF);
        RgbTarget referenceTarget = {reference.data() + shape.offset, stride};
        ConvertI420ToRgbReference(&source, matrix, fullRange, &referenceTarget);
        for (int level = kVectorBaseline; level <= BestVectorLevel(); ++level) {
          std::vector<uint32_t> fast(count, 0xDEADBEEF);
          RgbTarget fastTarget = {fast.data() + shape.offset, stride};
          ConvertI420ToRgbAtLevel(level, &source, matrix, fullRange, &fastTarget);
          ASSERT_EQ(fast, reference) << "vector level " << level;
        }
      }
    }
  }
}

// Pixels of a layout holding the colour 0xRRGGBB (with alpha `alpha`, the
// colour premultiplied by the caller where the layout wants it).
std::vector<uint32_t> PixelsOf(int layout, const std::vector<uint32_t>& colours, uint32_t alpha) {
  std::vector<uint32_t> storage(colours.size());
  uint8_t* bytes = reinterpret_cast<uint8_t*>(storage.data());
  for (size_t i = 0; i < colours.size(); ++i) {
    uint32_t c = colours[i];
    uint8_t r = c >> 16, g = c >> 8, b = c;
    if (layout == tq::kLayoutIntBgr) storage[i] = (uint32_t(b) << 16) | (g << 8) | r;
    if (tq::PixelLayoutUsesInts(layout) && layout != tq::kLayoutIntBgr) {
      storage[i] = (alpha << 24) | c;
    }
    if (layout == tq::kLayout3ByteBgr) {
      uint8_t bgr[] = {b, g, r};
      memcpy(bytes + 3 * i, bgr, 3);
    }
    if (layout == tq::kLayout4ByteAbgr || layout == tq::kLayout4ByteAbgrPre) {
      uint8_t abgr[] = {static_cast<uint8_t>(alpha), b, g, r};
      memcpy(bytes + 4 * i, abgr, 4);
    }
  }
  return storage;
}

struct ToI420Case {
  const char* what;
  std::vector<int> layouts;
  uint32_t alpha;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, row by row
  int width;
  int height;
  std::vector<uint8_t> i420;  // Y, U, V
};

struct ToRgbCase {
  uint8_t y, u, v;
  int matrix;
  int fullRange;
  uint32_t rgb;
};

// Worked out by hand from ImageConversions' formulas: luma 16 + (YR R + YG G
// + YB B + 2^15) >> 16, chroma 128 + floorDiv(2 sum + n 2^16, 2 n 2^16) for
// a block of n pixels; and back, clip((KY (Y - 16) + RV (V - 128) + 2^15)
// >> 16) and so on.
TEST(ImageConversion, ReferenceGivesJavasValues) {
  const std::vector<int> plain = {tq::kLayoutIntRgb, tq::kLayoutIntArgb, tq::kLayoutIntBgr,
                                  tq::kLayout3ByteBgr, tq::kLayout4ByteAbgr};
  const std::vector<int> premultiplied = {tq::kLayoutIntArgbPre, tq::kLayout4ByteAbgrPre};
  const ToI420Case toI420[] = {
      {"white", plain, 0, {0xFFFFFF}, 1, 1, {235, 128, 128}},
      {"black", plain, 0x40, {0x000000}, 1, 1, {16, 128, 128}},
      {"red", plain, 0, {0xFF0000}, 1, 1, {81, 90, 240}},
      {"green", plain, 0, {0x00FF00}, 1, 1, {145, 54, 34}},
      {"blue", plain, 0, {0x0000FF}, 1, 1, {41, 240, 110}},
      {"mid grey",
       plain,
       0xFF,
       {0x808080, 0x808080, 0x808080, 0x808080},
       2,
       2,
       {126, 126, 126, 126, 128, 128}},
      {"red and black side by side: one chroma of two",
       plain,
       0,
       {0xFF0000, 0x000000},
       2,
       1,
       {81, 16, 109, 184}},
      {"red over red, green over green: one chroma of four",
       plain,
       0,
       {0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00},
       2,
       2,
       {81, 145, 81, 145, 72, 137}},
      // 0x40 and 0x20 at alpha 128 are 0x80 and 0x40 once divided by it.
      {"premultiplied", premultiplied, 128, {0x402000}, 1, 1, {81, 90, 161}},
      // 200, 100, 50 at alpha 100: red 510 spills into the alpha, green 255,
      // blue 128 (getRGB joins the channels with OR, 0xFEFF80).
      {"premultiplied above alpha", premultiplied, 100, {0xC86432}, 1, 1, {222, 72, 137}},
      {"premultiplied, alpha 0", premultiplied, 0, {0x102030}, 1, 1, {16, 128, 128}},
  };
  for (const ToI420Case& c : toI420) {
    for (int layout : c.layouts) {
      SCOPED_TRACE(std::string(c.what) + ", layout " + std::to_string(layout));
      std::vector<uint32_t> storage = PixelsOf(layout, c.pixels, c.alpha);
      int elements = tq::PixelLayoutElements(layout);
      RgbImage image = {storage.data(), static_cast<ptrdiff_t>(c.width) * elements, layout, c.width,
                        c.height};
      std::vector<uint8_t> i420(c.i420.size());
      size_t chroma = static_cast<size_t>(ChromaSide(c.width) * ChromaSide(c.height));
      uint8_t* y = i420.data();
      I420Planes planes = {y, y + c.width * c.height, y + c.width * c.height + chroma, c.width,
                           ChromaSide(c.width)};
      ConvertRgbToI420Reference(&image, &planes);
      EXPECT_EQ(i420, c.i420);
    }
  }

  const ToRgbCase toRgb[] = {
      {235, 128, 128, tq::kMatrixBt601, 0, 0xFFFFFF},
      {16, 128, 128, tq::kMatrixBt601, 0, 0},
      {81, 90, 240, tq::kMatrixBt601, 0, 0xFE0000},
      {145, 54, 34, tq::kMatrixBt601, 0, 0x00FF01},
      {41, 240, 110, tq::kMatrixBt601, 0, 0x0000FF},
      {126, 128, 128, tq::kMatrixBt601, 0, 0x808080},
      {235, 128, 128, tq::kMatrixBt601, 1, 0xEBEBEB},
      {81, 90, 240, tq::kMatrixBt601, 1, 0xEE0E0D},
      {81, 90, 240, tq::kMatrixBt709, 0, 0xFF1800},
      {41, 240, 110, tq::kMatrixBt709, 1, 0x0C1CF8},
      {16, 128, 128, tq::kMatrixBt709, 1, 0x101010},
  };
  for (const ToRgbCase& c : toRgb) {
    SCOPED_TRACE("YUV " + std::to_string(c.y) + " " + std::to_string(c.u) + " " +
                 std::to_string(c.v) + " matrix " + std::to_string(c.matrix) + " full range " +
                 std::to_string(c.fullRange));
    uint8_t luma[] = {c.y, c.y, c.y, c.y};
    I420Source source = {luma, &c.u, &c.v, 2, 1, 2, 2};
    uint32_t pixels[4] = {};
    RgbTarget target = {pixels, 2};
    ConvertI420ToRgbReference(&source, c.matrix, c.fullRange, &target);
    for (uint32_t pixel : pixels) EXPECT_EQ(pixel, c.rgb);
  }
}

using fakejni::ByteArray;
using fakejni::IntArray;
using fakejni::Object;

// The arguments of one call of each native; each row of the sweep changes
// some of a valid call's.
struct ToI420Call {
  Object* pixels;
  jint pixelOffset, scanlineStride, layout, width, height;
  ByteArray* i420;
  jint i420Offset;
};

struct ToRgbCall {
  ByteArray* planes;
  jint yOffset, yStride, uOffset, vOffset, chromaStride, width, height, matrix, fullRange;
  IntArray* rgb;
  jint rgbOffset, rgbStride;
};

class ConversionNatives : public fakejni::FakeJvmTest {
 protected:
  jint Call(const ToI420Call& c) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQConvertToI420(
        env(), cls(), Ref<jobject>(c.pixels), c.pixelOffset, c.scanlineStride, c.layout, c.width,
        c.height, Ref<jbyteArray>(c.i420), c.i420Offset);
  }
  jint Call(const ToRgbCall& c) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQConvertI420ToRgb(
        env(), cls(), Ref<jbyteArray>(c.planes), c.yOffset, c.yStride, c.uOffset, c.vOffset,
        c.chromaStride, c.width, c.height, c.matrix, c.fullRange, Ref<jintArray>(c.rgb),
        c.rgbOffset, c.rgbStride);
  }
  std::vector<jbyte> Bytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes = RandomBytes(count, seed);
    return std::vector<jbyte>(bytes.begin(), bytes.end());
  }
};

// A 5x3 picture: TYPE_INT_RGB pixels at offset 2, stride 6, into a packed
// I420 picture at offset 1; back from planes at strides 6 and 4 into pixels
// at offset 1, stride 7. Both calls convert as the fast loops do, and give
// the input back unchanged (JNI_ABORT) and the output with copy-back.
TEST_F(ConversionNatives, ValidCallsConvertAndReleaseBothArrays) {
  std::vector<jbyte> pixelBytes = Bytes(19 * 4, 3);
  std::vector<jint> pixelInts(19);
  memcpy(pixelInts.data(), pixelBytes.data(), pixelBytes.size());
  IntArray* pixels = jvm.NewIntArray(pixelInts, "pixels");
  ByteArray* i420 = jvm.NewByteArray(std::vector<jbyte>(28, 7), "i420");
  ASSERT_EQ(Call(ToI420Call{pixels, 2, 6, tq::kLayoutIntRgb, 5, 3, i420, 1}), 0);
  std::vector<uint8_t> expected(28, 7);
  RgbImage image = {pixelInts.data() + 2, 6, tq::kLayoutIntRgb, 5, 3};
  I420Planes planes = {expected.data() + 1, expected.data() + 16, expected.data() + 22, 5, 3};
  ConvertRgbToI420Reference(&image, &planes);
  EXPECT_EQ(std::vector<jbyte>(expected.begin(), expected.end()), i420->elements);
  EXPECT_EQ(pixels->releaseModes, std::vector<jint>{JNI_ABORT});
  EXPECT_EQ(i420->releaseModes, std::vector<jint>{0});

  ByteArray* yuv = jvm.NewByteArray(Bytes(34, 4), "planes");
  IntArray* rgb = jvm.NewIntArray(std::vector<jint>(20, -1), "rgb");
  ASSERT_EQ(Call(ToRgbCall{yuv, 0, 6, 20, 27, 4, 5, 3, tq::kMatrixBt709, 1, rgb, 1, 7}), 0);
  std::vector<uint32_t> expectedRgb(20, 0xFFFFFFFF);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(yuv->elements.data());
  I420Source source = {bytes, bytes + 20, bytes + 27, 6, 4, 5, 3};
  RgbTarget target = {expectedRgb.data() + 1, 7};
  ConvertI420ToRgbReference(&source, tq::kMatrixBt709, 1, &target);
  EXPECT_EQ(std::vector<jint>(expectedRgb.begin(), expectedRgb.end()), rgb->elements);
  EXPECT_EQ(yuv->releaseModes, std::vector<jint>{JNI_ABORT});
  EXPECT_EQ(rgb->releaseModes, std::vector<jint>{0});
}

TEST_F(ConversionNatives, BadArgumentsReturnMinusOneAndWriteNothing) {
  IntArray* ints = jvm.NewIntArray(std::vector<jint>(19, 0x123456), "ints");
  ByteArray* bgr = jvm.NewByteArray(Bytes(2 + 16 * 2 + 15, 5), "bgr");
  ByteArray* i420 = jvm.NewByteArray(std::vector<jbyte>(28, 7), "i420");
  ByteArray* shortI420 = jvm.NewByteArray(std::vector<jbyte>(27, 7), "short i420");
  Object* notAnArray = jvm.NewObject(jvm.NewClass("java/lang/Object"), "object");
  const ToI420Call valid = {ints, 2, 6, tq::kLayoutIntRgb, 5, 3, i420, 1};
  const ToI420Call validBgr = {bgr, 2, 16, tq::kLayout3ByteBgr, 5, 3, i420, 1};
  const jint big = 0x7FFFFFFF;
  struct ToI420Row {
    const char* what;
    std::function<void(ToI420Call&)> change;
    bool bgrBase;
  };
  const ToI420Row toI420Rows[] = {
      {"null pixels", [](ToI420Call& c) { c.pixels = nullptr; }, false},
      {"null i420", [](ToI420Call& c) { c.i420 = nullptr; }, false},
      {"byte[] for an int layout", [&](ToI420Call& c) { c.pixels = bgr; }, false},
      {"int[] for a byte layout", [&](ToI420Call& c) { c.pixels = ints; }, true},
      {"an object that is no array", [&](ToI420Call& c) { c.pixels = notAnArray; }, false},
      {"same array in and out", [&](ToI420Call& c) { c.i420 = bgr; }, true},
      {"layout 0", [](ToI420Call& c) { c.layout = 0; }, false},
      {"layout 8", [](ToI420Call& c) { c.layout = 8; }, false},
      {"layout -1", [](ToI420Call& c) { c.layout = -1; }, false},
      {"width 0", [](ToI420Call& c) { c.width = 0; }, false},
      {"height 0", [](ToI420Call& c) { c.height = 0; }, false},
      {"width -1", [](ToI420Call& c) { c.width = -1; }, false},
      {"height negative", [](ToI420Call& c) { c.height = -big; }, false},
      {"stride below width", [](ToI420Call& c) { c.scanlineStride = 4; }, false},
      {"stride below 3 bytes a pixel", [](ToI420Call& c) { c.scanlineStride = 14; }, true},
      {"stride negative", [](ToI420Call& c) { c.scanlineStride = -6; }, false},
      {"pixel offset negative", [](ToI420Call& c) { c.pixelOffset = -1; }, false},
      {"last row past the end", [](ToI420Call& c) { c.pixelOffset = 3; }, false},
      {"last row past the end, bytes", [](ToI420Call& c) { c.pixelOffset = 3; }, true},
      {"rows overflowing 32 bits", [](ToI420Call& c) { c.scanlineStride = big; }, false},
      {"size overflowing 32 bits",
       [](ToI420Call& c) {
         c.width = big;
         c.height = big;
         c.scanlineStride = big;
       },
       false},
      {"i420 offset negative", [](ToI420Call& c) { c.i420Offset = -1; }, false},
      {"i420 offset past the room", [](ToI420Call& c) { c.i420Offset = 2; }, false},
      {"i420 offset near 2^31", [](ToI420Call& c) { c.i420Offset = big; }, false},
      {"i420 too short", [&](ToI420Call& c) { c.i420 = shortI420; }, false},
  };
  for (const ToI420Row& row : toI420Rows) {
    SCOPED_TRACE(row.what);
    ToI420Call call = row.bgrBase ? validBgr : valid;
    row.change(call);
    EXPECT_EQ(Call(call), -1);
  }
  EXPECT_EQ(i420->elements, std::vector<jbyte>(28, 7));
  EXPECT_EQ(ints->pins + bgr->pins + i420->pins + shortI420->pins, 0);
  EXPECT_EQ(Call(valid), 0) << "the valid call the rows change";
  EXPECT_EQ(Call(validBgr), 0) << "the valid call the rows change";

  ByteArray* planes = jvm.NewByteArray(Bytes(34, 6), "planes");
  IntArray* rgb = jvm.NewIntArray(std::vector<jint>(20, -1), "rgb");
  IntArray* shortRgb = jvm.NewIntArray(std::vector<jint>(19, -1), "short rgb");
  const ToRgbCall validRgb = {planes, 0, 6, 20, 27, 4, 5, 3, tq::kMatrixBt601, 0, rgb, 1, 7};
  struct ToRgbRow {
    const char* what;
    std::function<void(ToRgbCall&)> change;
  };
  const ToRgbRow toRgbRows[] = {
      {"null planes", [](ToRgbCall& c) { c.planes = nullptr; }},
      {"null rgb", [](ToRgbCall& c) { c.rgb = nullptr; }},
      {"matrix 0", [](ToRgbCall& c) { c.matrix = 0; }},
      {"matrix 2 (unspecified)", [](ToRgbCall& c) { c.matrix = 2; }},
      {"matrix -1", [](ToRgbCall& c) { c.matrix = -1; }},
      {"full range 2", [](ToRgbCall& c) { c.fullRange = 2; }},
      {"full range -1", [](ToRgbCall& c) { c.fullRange = -1; }},
      {"width 0", [](ToRgbCall& c) { c.width = 0; }},
      {"height -1", [](ToRgbCall& c) { c.height = -1; }},
      {"y stride below width", [](ToRgbCall& c) { c.yStride = 4; }},
      {"chroma stride below its width", [](ToRgbCall& c) { c.chromaStride = 2; }},
      {"chroma stride negative", [](ToRgbCall& c) { c.chromaStride = -4; }},
      {"y offset negative", [](ToRgbCall& c) { c.yOffset = -1; }},
      {"u offset negative", [](ToRgbCall& c) { c.uOffset = -1; }},
      {"v plane past the end", [](ToRgbCall& c) { c.vOffset = 28; }},
      {"u offset near 2^31", [](ToRgbCall& c) { c.uOffset = big; }},
      {"y stride overflowing 32 bits", [](ToRgbCall& c) { c.yStride = big; }},
      {"size overflowing 32 bits",
       [](ToRgbCall& c) {
         c.width = big;
         c.height = big;
         c.yStride = big;
         c.chromaStride = big;
         c.rgbStride = big;
       }},
      {"rgb offset negative", [](ToRgbCall& c) { c.rgbOffset = -1; }},
      {"rgb offset past the room", [](ToRgbCall& c) { c.rgbOffset = 2; }},
      {"rgb stride below width", [](ToRgbCall& c) { c.rgbStride = 4; }},
      {"rgb stride overflowing 32 bits", [](ToRgbCall& c) { c.rgbStride = big; }},
      {"rgb too short", [&](ToRgbCall& c) { c.rgb = shortRgb; }},
  };
  for (const ToRgbRow& row : toRgbRows) {
    SCOPED_TRACE(row.what);
    ToRgbCall call = validRgb;
    row.change(call);
    EXPECT_EQ(Call(call), -1);
  }
  EXPECT_EQ(rgb->elements, std::vector<jint>(20, -1));
  EXPECT_EQ(planes->pins + rgb->pins + shortRgb->pins, 0);
  EXPECT_EQ(Call(validRgb), 0) << "the valid call the rows change";
}

}  // namespace
