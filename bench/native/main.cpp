// The native side of the overhead benchmark: encodes or decodes the same
// pictures as the Java driver, straight through OpenH264. One untimed pass
// first (it brings the codec up, warms the caches, and writes the outputs
// run.sh compares), then the timed passes, each printed on its own line and,
// under run.sh, taking turns with the Java driver's passes.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "bench_io.h"
#include "decode_bench.h"
#include "encode_bench.h"
#include "turns.h"

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
  int writer = 0;      // encode: 1 for VideoWriter's defaults, a new encoder every pass
  std::string turnIn;  // with turnOut: take turns with the Java driver
  std::string turnOut;
  std::string go;  // "first" or "second" when taking turns
};

const char kUsage[] =
    "usage: tq_bench_native encode --size WxH --input raw.yuv --frames N --bitrate UNITS\n"
    "                              [--passes N] [--output out.h264] [--writer 1] [TURNS]\n"
    "       tq_bench_native decode --size WxH --input in.h264 --sizes in.h264.sizes\n"
    "                              [--passes N] [--output out.yuv] [TURNS]\n"
    "TURNS: --turn-in FIFO --turn-out FIFO --go first|second\n";

bool ParseSize(const char* text, Options* options) {
  return sscanf(text, "%dx%d", &options->width, &options->height) == 2 && options->width > 0 &&
         options->height > 0 && options->width % 2 == 0 && options->height % 2 == 0;
}

// The option that takes a text value, or null.
std::string* TextOption(const char* name, Options* options) {
  if (strcmp(name, "--input") == 0) return &options->input;
  if (strcmp(name, "--sizes") == 0) return &options->sizes;
  if (strcmp(name, "--output") == 0) return &options->output;
  if (strcmp(name, "--turn-in") == 0) return &options->turnIn;
  if (strcmp(name, "--turn-out") == 0) return &options->turnOut;
  if (strcmp(name, "--go") == 0) return &options->go;
  return nullptr;
}

// The option that takes a number, or null.
int* NumberOption(const char* name, Options* options) {
  if (strcmp(name, "--frames") == 0) return &options->frames;
  if (strcmp(name, "--bitrate") == 0) return &options->bitrate;
  if (strcmp(name, "--passes") == 0) return &options->passes;
  if (strcmp(name, "--writer") == 0) return &options->writer;
  return nullptr;
}

bool ParseOption(const char* name, const char* value, Options* options) {
  if (strcmp(name, "--size") == 0) return ParseSize(value, options);
  if (std::string* text = TextOption(name, options)) {
    *text = value;
    return true;
  }
  if (int* number = NumberOption(name, options)) {
    *number = atoi(value);
    return true;
  }
  return false;
}

bool TurnsComplete(const Options& options) {
  if (options.turnIn.empty() && options.turnOut.empty() && options.go.empty()) return true;
  return !options.turnIn.empty() && !options.turnOut.empty() &&
         (options.go == "first" || options.go == "second");
}

bool ParseOptions(int argc, char** argv, Options* options) {
  if (argc < 2 || argc % 2 != 0) return false;
  options->op = argv[1];
  for (int i = 2; i + 1 < argc; i += 2) {
    if (!ParseOption(argv[i], argv[i + 1], options)) return false;
  }
  bool complete = options->width > 0 && !options->input.empty() && options->passes >= 0 &&
                  TurnsComplete(*options);
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

// Runs the timed passes, taking turns with the Java driver when asked to.
// Every pass must give `expected` pictures. False when one did not, or when
// the other side went away.
bool TimedPasses(const Options& options, int expected, const std::function<int()>& pass) {
  bool taking = !options.turnIn.empty();
  Turns turns = {nullptr, nullptr, true};
  if (taking &&
      !OpenTurns(options.turnIn.c_str(), options.turnOut.c_str(), options.go == "first", &turns)) {
    return false;
  }
  bool ok = true;
  for (int number = 1; ok && number <= options.passes; ++number) {
    if (taking && !BeforePass(&turns)) break;
    double start = NowSeconds();
    double cpuStart = ProcessCpuSeconds();
    int pictures = pass();
    double cpuSeconds = ProcessCpuSeconds() - cpuStart;
    double seconds = NowSeconds() - start;
    ok = pictures == expected;
    if (ok) {
      PrintPass(options.op.c_str(), options.width, options.height, number, pictures, seconds,
                cpuSeconds);
    }
    ok = ok && (!taking || AfterPass(&turns));
  }
  if (taking) CloseTurns(&turns);
  return ok;
}

int Fail(const char* what) {
  fprintf(stderr, "tq_bench_native: %s\n", what);
  return 1;
}

int RunEncode(const Options& options) {
  std::vector<std::vector<uint8_t>> pictures;
  if (!LoadPictures(options, &pictures)) return Fail("cannot read the input pictures");
  EncodeSettings settings = {options.width, options.height, options.bitrate, options.writer != 0};
  ISVCEncoder* encoder = OpenBenchEncoder(settings);
  if (encoder == nullptr) return Fail("OpenH264 refused the encoder settings");
  std::vector<uint8_t> stream;
  std::vector<int> sizes;
  int expected = static_cast<int>(pictures.size());
  bool ok = EncodePictures(encoder, settings, pictures, &stream, &sizes) == expected;
  if (ok && !options.output.empty()) {
    ok = WriteWholeFile(options.output, stream) && WriteSizes(options.output + ".sizes", sizes);
  }
  ok = ok && TimedPasses(options, expected, [&] {
         if (!settings.videoWriterDefaults) {
           return EncodePictures(encoder, settings, pictures, nullptr, nullptr);
         }
         // As a VideoWriter does for each video.
         ISVCEncoder* fresh = OpenBenchEncoder(settings);
         if (fresh == nullptr) return -1;
         int produced = EncodePictures(fresh, settings, pictures, nullptr, nullptr);
         CloseBenchEncoder(fresh);
         return produced;
       });
  CloseBenchEncoder(encoder);
  return ok ? 0 : Fail("a picture was not encoded, an output not written, or a turn lost");
}

int RunDecode(const Options& options) {
  std::vector<std::vector<uint8_t>> units;
  if (!LoadUnits(options, &units)) return Fail("cannot read the stream and its sizes");
  ISVCDecoder* decoder = OpenBenchDecoder();
  if (decoder == nullptr) return Fail("OpenH264 refused the decoder settings");
  std::vector<uint8_t> pictures;
  int expected = DecodeUnits(decoder, units, PictureSink{&pictures, nullptr});
  bool ok = expected > 0;
  if (ok && !options.output.empty()) ok = WriteWholeFile(options.output, pictures);
  std::vector<uint8_t> reused;
  ok = ok && TimedPasses(options, expected, [&] {
         return DecodeUnits(decoder, units, PictureSink{nullptr, &reused});
       });
  CloseBenchDecoder(decoder);
  return ok ? 0 : Fail("the stream did not decode, an output was not written, or a turn lost");
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
