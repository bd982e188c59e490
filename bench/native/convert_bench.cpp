// Times the picture conversions at 1920x1080: the reference and the fast
// loops at each vector level the CPU runs take turns picture by picture (the
// one that starts changes each time), so all see the same state of the
// machine. Prints the median and the range of the time per picture of each.
//
// The RGB images may be several, converted in turn: 16 of them (133 MB at
// four bytes a pixel) are read from memory, not from the cache, as a video's
// images are when they are written.
//
// usage: tq_bench_convert [iterations] [images]   (default 200, 1)
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "image/conversion_codes.h"
#include "image/i420_to_rgb.h"
#include "image/rgb_to_i420.h"
#include "image/vector_levels.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

double NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Times {
  std::vector<double> ms;
  double Median() {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
  }
};

// Runs every side `iterations` times in turns and prints one line: the
// reference, then the fast loops at each vector level this CPU runs.
void Compare(const char* name, int iterations, const std::vector<std::function<void()>>& sides) {
  std::vector<Times> times(sides.size());
  for (const auto& side : sides) side();  // untimed: brings the pages in
  for (int i = 0; i < iterations; ++i) {
    for (size_t turn = 0; turn < sides.size(); ++turn) {
      size_t side = (i + turn) % sides.size();
      double start = NowMs();
      sides[side]();
      times[side].ms.push_back(NowMs() - start);
    }
  }
  printf("%-26s", name);
  for (Times& side : times) {
    double median = side.Median();
    printf(" %7.3f (%.3f-%.3f)", median, side.ms.front(), side.ms.back());
  }
  printf("\n");
}

std::vector<uint8_t> RandomBytes(size_t count) {
  std::mt19937 random(42);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  int iterations = argc > 1 ? atoi(argv[1]) : 200;
  int images = argc > 2 ? atoi(argv[2]) : 1;
  if (iterations < 1 || images < 1) {
    fprintf(stderr, "usage: tq_bench_convert [iterations] [images]\n");
    return 2;
  }
  static const char* const kLevelNames[] = {"baseline", "AVX2", "x86-64-v4"};
  printf(
      "%dx%d, %d pictures a side, RGB from %d image(s) in turn; ms a picture, median "
      "(fastest-slowest):\n",
      kWidth, kHeight, iterations, images);
  printf("%-26s %-22s", "", "reference");
  for (int level = kVectorBaseline; level <= BestVectorLevel(); ++level) {
    printf(" fast, %-16s", kLevelNames[level]);
  }
  printf("\n");
  int chromaWidth = (kWidth + 1) / 2, chromaHeight = (kHeight + 1) / 2;
  size_t lumaBytes = static_cast<size_t>(kWidth) * kHeight;
  size_t chromaBytes = static_cast<size_t>(chromaWidth) * chromaHeight;
  std::vector<uint8_t> i420(lumaBytes + 2 * chromaBytes);
  I420Planes planes = {i420.data(), i420.data() + lumaBytes, i420.data() + lumaBytes + chromaBytes,
                       kWidth, chromaWidth};

  std::vector<uint8_t> pixels = RandomBytes(lumaBytes * 4 * images);
  int next = 0;  // the image the next conversion reads
  auto nextImage = [&](int layout) {
    next = (next + 1) % images;
    RgbImage image = {pixels.data() + lumaBytes * 4 * next,
                      kWidth * tq::PixelLayoutElements(layout), layout, kWidth, kHeight};
    return image;
  };
  const struct {
    const char* name;
    int layout;
  } layouts[] = {{"RGB->I420 TYPE_INT_RGB", tq::kLayoutIntRgb},
                 {"RGB->I420 TYPE_3BYTE_BGR", tq::kLayout3ByteBgr},
                 {"RGB->I420 TYPE_4BYTE_ABGR", tq::kLayout4ByteAbgr},
                 {"RGB->I420 TYPE_INT_BGR", tq::kLayoutIntBgr}};
  for (const auto& layout : layouts) {
    int code = layout.layout;
    std::vector<std::function<void()>> sides = {[&] {
      RgbImage image = nextImage(code);
      ConvertRgbToI420Reference(&image, &planes);
    }};
    for (int level = kVectorBaseline; level <= BestVectorLevel(); ++level) {
      sides.push_back([&, level] {
        RgbImage image = nextImage(code);
        ConvertRgbToI420AtLevel(level, &image, &planes);
      });
    }
    Compare(layout.name, iterations, sides);
  }

  std::vector<uint8_t> yuv = RandomBytes(i420.size());
  I420Source source = {yuv.data(),
                       yuv.data() + lumaBytes,
                       yuv.data() + lumaBytes + chromaBytes,
                       kWidth,
                       chromaWidth,
                       kWidth,
                       kHeight};
  std::vector<uint32_t> rgb(lumaBytes);
  RgbTarget target = {rgb.data(), kWidth};
  const struct {
    const char* name;
    int matrix;
    int fullRange;
  } matrices[] = {{"I420->RGB BT.601 limited", tq::kMatrixBt601, 0},
                  {"I420->RGB BT.709 full", tq::kMatrixBt709, 1}};
  for (const auto& m : matrices) {
    std::vector<std::function<void()>> sides = {
        [&] { ConvertI420ToRgbReference(&source, m.matrix, m.fullRange, &target); }};
    for (int level = kVectorBaseline; level <= BestVectorLevel(); ++level) {
      sides.push_back(
          [&, level] { ConvertI420ToRgbAtLevel(level, &source, m.matrix, m.fullRange, &target); });
    }
    Compare(m.name, iterations, sides);
  }
  return 0;
}
