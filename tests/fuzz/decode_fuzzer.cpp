// libFuzzer target: H.264 bytes through the decoder natives, with the fake
// JVM and the real OpenH264. Nothing may crash, and every call must leave
// the JVM clean.
//
// Input: byte 0 says how the stream is cut into buffers (0: before every
// start code, i.e. one NAL unit per buffer; 255: one buffer; n: n bytes per
// buffer), byte 1 holds the Flag bits, the rest is the stream.
#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/config_intake.h"
#include "decoder/decoder_context.h"
#include "decoder/frame_decoding.h"
#include "tests/fakes/fake_jni.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fakejni::Value;
using fuzzsupport::Require;
using fuzzsupport::RequireCleanJvm;

enum Flag : uint8_t {
  kDrainAfterEachBuffer = 1,   // a null buffer after every buffer
  kLengthBits = 6,             // 0: exact, 2: past the array's end, 4: one short, 6: negative
  kErrorConcealmentBits = 56,  // eEcActiveIdc 0 to 7
  kNewConfigHalfway = 64,      // SetConfig again in the middle of the stream
  kAvcBitstreamType = 128,     // eVideoBsType AVC instead of SVC
};

struct Span {
  size_t start;
  size_t size;
};

std::vector<Span> CutIntoBuffers(const uint8_t* stream, size_t size, uint8_t split) {
  std::vector<Span> buffers;
  if (split == 255 || size == 0) {
    buffers.push_back({0, size});
  } else if (split == 0) {
    size_t start = 0;
    for (size_t i = 1; i + 2 < size; ++i) {
      if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
        buffers.push_back({start, i - start});
        start = i;
      }
    }
    buffers.push_back({start, size - start});
  } else {
    for (size_t start = 0; start < size; start += split) {
      buffers.push_back({start, size - start < split ? size - start : split});
    }
  }
  return buffers;
}

jint LengthToPass(jint size, uint8_t flags) {
  switch (flags & kLengthBits) {
    case 2:
      return size + 1000;
    case 4:
      return size - 1;
    case 6:
      return -size - 1;
    default:
      return size;
  }
}

class DecodeRun {
 public:
  explicit DecodeRun(uint8_t flags) : flags_(flags) {
    handle_ = Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderCreate(
        jvm_.env(), jvm_.nativeClass(), nullptr, nullptr, nullptr, nullptr);
    Require(handle_ != 0, "OpenH264TQDecoderCreate failed");
    fakejni::Class* configClass = jvm_.NewClass("tq/brindlecast/openh264/DecoderConfig");
    configClass->Getter("getFileNameRestructed", "()Ljava/lang/String;", Value::Ref(nullptr));
    configClass->Getter("getCpuLoad", "()I", Value::Int(0));
    configClass->Getter("getTargetDqLayer", "()C", Value::Char(255));
    configClass->Getter("getEcActiveIdc", "()I", Value::Int((flags & kErrorConcealmentBits) >> 3));
    configClass->Getter("getParseOnly", "()I", Value::Int(0));
    configClass->Getter("getVideoSize", "()I", Value::Int(8));
    configClass->Getter("getVideoBsType", "()I", Value::Int(flags & kAvcBitstreamType ? 0 : 1));
    config_ = reinterpret_cast<jobject>(jvm_.NewObject(configClass, "config"));
    SetConfig();
  }

  ~DecodeRun() {
    Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDestroy(jvm_.env(), jvm_.nativeClass(),
                                                                 handle_);
  }

  void SetConfig() {
    jint result = Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetConfig(
        jvm_.env(), jvm_.nativeClass(), handle_, config_);
    Require(result == 0, "OpenH264TQDecoderSetConfig failed");
    RequireCleanJvm(jvm_, "SetConfig");
  }

  // Decodes one buffer (null for a drain), by turns as planes and into RGB
  // pixels of kPixelsWide x kPixelsHigh, which small pictures fit; true when
  // a picture came back either way.
  bool Decode(const uint8_t* bytes, size_t size) {
    bool toRgb = calls_++ % 2 == 1;
    fakejni::ByteArray* bitstream = nullptr;
    jint length = 0;
    if (bytes != nullptr) {
      bitstream = jvm_.NewByteArray(std::vector<jbyte>(bytes, bytes + size), "bitstream");
      length = LengthToPass(static_cast<jint>(size), flags_);
    }
    fakejni::IntArray* width = jvm_.NewIntArray({-1}, "outWidth");
    fakejni::IntArray* height = jvm_.NewIntArray({-1}, "outHeight");
    fakejni::IntArray* strides = jvm_.NewIntArray({-1, -1, -1}, "outStrides");
    fakejni::IntArray* planeSizes = jvm_.NewIntArray({-1, -1, -1}, "outPlaneSizes");
    fakejni::IntArray* planeCount = jvm_.NewIntArray({-1}, "outPlaneCount");
    fakejni::IntArray* pixels =
        toRgb ? jvm_.NewIntArray(std::vector<jint>(kPixelsWide * kPixelsHigh, -1), "rgb") : nullptr;
    jbyteArray picture =
        toRgb
            ? Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecodeToRgb(
                  jvm_.env(), jvm_.nativeClass(), handle_, reinterpret_cast<jbyteArray>(bitstream),
                  length, reinterpret_cast<jintArray>(width), reinterpret_cast<jintArray>(height),
                  reinterpret_cast<jintArray>(strides), reinterpret_cast<jintArray>(planeSizes),
                  reinterpret_cast<jintArray>(planeCount), reinterpret_cast<jintArray>(pixels), 0,
                  kPixelsWide, 1, 0)
            : Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecode(
                  jvm_.env(), jvm_.nativeClass(), handle_, reinterpret_cast<jbyteArray>(bitstream),
                  length, reinterpret_cast<jintArray>(width), reinterpret_cast<jintArray>(height),
                  reinterpret_cast<jintArray>(strides), reinterpret_cast<jintArray>(planeSizes),
                  reinterpret_cast<jintArray>(planeCount));
    RequireCleanJvm(jvm_, bytes == nullptr ? "Decode (drain)" : "Decode");
    if (picture == nullptr && planeCount->elements[0] == 0) {
      Require(toRgb && width->elements[0] <= kPixelsWide && height->elements[0] <= kPixelsHigh,
              "a picture went into pixels it does not fit");
      return true;
    }
    if (picture == nullptr) return false;
    // The geometry must describe the array exactly.
    auto* yuv = reinterpret_cast<fakejni::ByteArray*>(picture);
    const std::vector<jint>& size3 = planeSizes->elements;
    const std::vector<jint>& stride3 = strides->elements;
    Require(planeCount->elements[0] == 3 && size3[1] == size3[2] &&
                static_cast<int64_t>(size3[0]) + 2 * size3[1] ==
                    static_cast<int64_t>(yuv->elements.size()) &&
                stride3[0] >= width->elements[0] &&
                static_cast<int64_t>(stride3[0]) * height->elements[0] == size3[0] &&
                static_cast<int64_t>(stride3[1]) * (height->elements[0] / 2) == size3[1],
            "a returned picture's geometry does not match its array");
    return true;
  }

 private:
  static constexpr int kPixelsWide = 176;
  static constexpr int kPixelsHigh = 144;
  fakejni::FakeJvm jvm_;
  uint8_t flags_;
  unsigned calls_ = 0;
  jlong handle_ = 0;
  jobject config_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::SilenceCodecLogging();
  fuzzsupport::LoadOpenH264();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t split = data[0];
  const uint8_t flags = data[1];
  const uint8_t* stream = data + 2;
  std::vector<Span> buffers = CutIntoBuffers(stream, size - 2, split);
  DecodeRun run(flags);
  for (size_t i = 0; i < buffers.size(); ++i) {
    if ((flags & kNewConfigHalfway) && i == buffers.size() / 2) run.SetConfig();
    run.Decode(stream + buffers[i].start, buffers[i].size);
    if (flags & kDrainAfterEachBuffer) run.Decode(nullptr, 0);
  }
  // The end of the stream: hand out what the decoder holds back.
  for (int drains = 0; drains < 4 && run.Decode(nullptr, 0); ++drains) {
  }
  return 0;
}
