// The native side of the overhead benchmark: encodes or decodes the same
// pictures as the Java driver, straight through OpenH264. One untimed pass
// first (it brings the codec up, warms the caches, and writes the outputs
// run.sh compares), then the timed passes, each printed on its own line.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bench_io.h"
#include "decode_bench.h"
#include "encode_bench.h"

namespace {

struct Options {
  std::string op;  // "encode" or "decode"
  int width = 0;   // the picture size
  int height = 0;
  std::string input;   // raw packed I420 (encode) or Annex B (decode)
  std::string sizes;   // decode: byte count of each access unit, one per line
  std::string output;  // the first pass's output (and, encoding, output + ".sizes")
  int frames = 0;      // encode: pictures read from the input
  int bitrate = 0;     // encode: units of 1024 bit/s
  int passes = 3;      // timed passes
};

const char kUsage[] =
    "usage: tq_bench_native encode --size WxH --input raw.yuv --frames N --bitrate UNITS\n"
    "                              [--passes N] [--output out.h264]\n"
    "       tq_bench_native decode --size WxH --input in.h264 --sizes in.h264.sizes\n"
    "                              [--passes N] [--output out.yuv]\n";

bool ParseSize(const char* text, Options* options) {
  return sscanf(text, "%dx%d", &options->width, &options->height) == 2 && options->width > 0 &&
         options->height > 0 && options->width % 2 == 0 && options->height % 2 == 0;
}

bool ParseOption(const char* name, const char* value, Options* options) {
  if (strcmp(name, "--size") == 0) return ParseSize(value, options);
  if (strcmp(name, "--input") == 0)
    options->input = value;
  else if (strcmp(name, "--sizes") == 0)
    options->sizes = value;
  else if (strcmp(name, "--output") == 0)
    options->output = value;
  else if (strcmp(name, "--frames") == 0)
    options->frames = atoi(value);
  else if (strcmp(name, "--bitrate") == 0)
    options->bitrate = atoi(value);
  else if (strcmp(name, "--passes") == 0)
    options->passes = atoi(value);
  else
    return false;
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  if (argc < 2) return false;
  options->op = argv[1];
  for (int i = 2; i + 1 < argc; i += 2) {
    if (!ParseOption(argv[i], argv[i + 1], options)) return false;
  }
  bool complete =
      argc % 2 == 0 && options->width > 0 && !options->input.empty() && options->passes >= 0;
  if (options->op == "encode") return complete && options->frames > 0 && options->bitrate > 0;
  if (options->op == "decode") return complete && !options->sizes.empty();
  return false;
}

bool LoadPictures(const Options& options, std::vector<std::vector<uint8_t>>* pictures) {
  std::vector<uint8_t> raw;
  if (!ReadWholeFile(options.input, &raw)) return false;
  size_t pictureBytes = static_cast<size_t>(options.width) * options.height * 3 / 2;
  if (raw.size() < pictureBytes * options.frames) return false;
  for (int i = 0; i < options.frames; ++i) {
    auto start = raw.begin() + static_cast<std::ptrdiff_t>(pictureBytes * i);
    pictures->emplace_back(start, start + static_cast<std::ptrdiff_t>(pictureBytes));
  }
  return true;
}

bool LoadUnits(const Options& options, std::vector<std::vector<uint8_t>>* units) {
  std::vector<uint8_t> stream;
  std::vector<int> sizes;
  return ReadWholeFile(options.input, &stream) && ReadSizes(options.sizes, &sizes) &&
         SplitBySizes(stream, sizes, units);
}

int Fail(const char* what) {
  fprintf(stderr, "tq_bench_native: %s\n", what);
  return 1;
}

int RunEncode(const Options& options) {
  std::vector<std::vector<uint8_t>> pictures;
  if (!LoadPictures(options, &pictures)) return Fail("cannot read the input pictures");
  EncodeSettings settings = {options.width, options.height, options.bitrate};
  ISVCEncoder* encoder = OpenBenchEncoder(settings);
  if (encoder == nullptr) return Fail("OpenH264 refused the encoder settings");
  std::vector<uint8_t> stream;
  std::vector<int> sizes;
  int expected = static_cast<int>(pictures.size());
  bool ok = EncodePictures(encoder, settings, pictures, &stream, &sizes) == expected;
  if (ok && !options.output.empty()) {
    ok = WriteWholeFile(options.output, stream) && WriteSizes(options.output + ".sizes", sizes);
  }
  for (int pass = 1; ok && pass <= options.passes; ++pass) {
    double start = NowSeconds();
    int produced = EncodePictures(encoder, settings, pictures, nullptr, nullptr);
    double seconds = NowSeconds() - start;
    ok = produced == expected;
    if (ok) PrintPass("encode", options.width, options.height, pass, produced, seconds);
  }
  CloseBenchEncoder(encoder);
  return ok ? 0 : Fail("a picture was not encoded, or an output could not be written");
}

int RunDecode(const Options& options) {
  std::vector<std::vector<uint8_t>> units;
  if (!LoadUnits(options, &units)) return Fail("cannot read the stream and its sizes");
  ISVCDecoder* decoder = OpenBenchDecoder();
  if (decoder == nullptr) return Fail("OpenH264 refused the decoder settings");
  std::vector<uint8_t> pictures;
  int expected = DecodeUnits(decoder, units, &pictures);
  bool ok = expected > 0;
  if (ok && !options.output.empty()) ok = WriteWholeFile(options.output, pictures);
  for (int pass = 1; ok && pass <= options.passes; ++pass) {
    double start = NowSeconds();
    int decoded = DecodeUnits(decoder, units, nullptr);
    double seconds = NowSeconds() - start;
    ok = decoded == expected;
    if (ok) PrintPass("decode", options.width, options.height, pass, decoded, seconds);
  }
  CloseBenchDecoder(decoder);
  return ok ? 0 : Fail("the stream did not decode, or an output could not be written");
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    fputs(kUsage, stderr);
    return 2;
  }
  return options.op == "encode" ? RunEncode(options) : RunDecode(options);
}
