// libFuzzer target: configuration intake and parameter building with fuzzed
// getter values, into the real OpenH264's InitializeExt and one EncodeFrame,
// with the fake JVM. Nothing may crash, and every call must leave the JVM
// clean.
//
// Input: little-endian 32-bit words, read in this order and 0 once the input
// runs out: the 32 base getters; for each of the 4 layers its 19 getters,
// where getSliceMBNum's word gives the array's length (modulo 40; 39 means
// null) and that many elements follow; the bit rate for SetBitrate; the
// picture's width and height (1 to 64, from the low 6 bits). Float getters
// take the word's bits, char getters its low 16 bits.
//
// The picture is a smooth gradient, not fuzzed: OpenH264 2.3.1 writes past
// its frame buffer when several threads encode a picture's slices and these
// add up to more bytes than the raw picture (detailed content at a low QP).
// That fault needs such content; this target is about the configuration.
#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "encoder/config_intake.h"
#include "encoder/encoder_context.h"
#include "encoder/frame_encoding.h"
#include "encoder/runtime_controls.h"
#include "tests/encoder_getters.h"
#include "tests/fakes/fake_jni.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using encodertest::IsCharGetter;
using encodertest::kBaseGetters;
using encodertest::kLayerGetters;
using fakejni::Value;
using fuzzsupport::Require;
using fuzzsupport::RequireCleanJvm;

const int kLayerSlots = 4;
const int kMaxPictureSide = 64;
const uint32_t kSliceLengths = 40;  // 0 to 38 elements, or null

class WordReader {
 public:
  WordReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int32_t Next() {
    uint32_t word = 0;
    for (int i = 0; i < 4 && position_ < size_; ++i)
      word |= uint32_t{data_[position_++]} << (8 * i);
    return static_cast<int32_t>(word);
  }
  float NextFloat() {
    int32_t word = Next();
    float value;
    memcpy(&value, &word, sizeof value);
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

class ConfigRun {
 public:
  ConfigRun() {
    handle_ = Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderCreate(
        env(), cls(), nullptr, nullptr, nullptr, nullptr);
    Require(handle_ != 0, "OpenH264TQEncoderCreate failed");
  }
  ~ConfigRun() {
    Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderDestroy(env(), cls(), handle_);
  }

  void SetBaseConfig(WordReader& words) {
    fakejni::Class* configClass = jvm_.NewClass("tq/brindlecast/openh264/EncoderConfig");
    for (const std::string& name : kBaseGetters) {
      if (name == "getMaxFrameRate") {
        configClass->Getter(name, "()F", Value::Float(words.NextFloat()));
      } else {
        configClass->Getter(name, "()I", Value::Int(words.Next()));
      }
    }
    jint result = Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetConfig(
        env(), cls(), handle_, Object(configClass));
    Require(result == 0, "OpenH264TQEncoderSetConfig failed");
    RequireCleanJvm(jvm_, "SetConfig");
  }

  void SetLayerConfig(WordReader& words, int layer) {
    fakejni::Class* layerClass = jvm_.NewClass("tq/brindlecast/openh264/SpatialLayerConfig");
    for (const std::string& name : kLayerGetters) {
      if (name == "getFrameRate") {
        layerClass->Getter(name, "()F", Value::Float(words.NextFloat()));
      } else if (name == "getSliceMBNum") {
        layerClass->Getter(name, "()[I", Value::Ref(SliceArray(words)));
      } else if (IsCharGetter(name)) {
        layerClass->Getter(name, "()C", Value::Char(static_cast<jchar>(words.Next() & 0xFFFF)));
      } else {
        layerClass->Getter(name, "()I", Value::Int(words.Next()));
      }
    }
    jint result = Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetSpatialLayerConfig(
        env(), cls(), handle_, Object(layerClass), layer);
    Require(result == 0, "OpenH264TQEncoderSetSpatialLayerConfig failed");
    RequireCleanJvm(jvm_, "SetSpatialLayerConfig");
  }

  void SetBitrate(jlong bitrate) {
    Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetBitrate(env(), cls(), handle_, bitrate);
    RequireCleanJvm(jvm_, "SetBitrate");
  }

  // Encodes one tightly packed picture.
  void Encode(jint width, jint height) {
    jint chromaWidth = (width + 1) / 2;
    jint chromaHeight = (height + 1) / 2;
    fakejni::ObjectArray* planes = jvm_.NewObjectArray(
        {Plane(width, height), Plane(chromaWidth, chromaHeight), Plane(chromaWidth, chromaHeight)},
        "planes");
    fakejni::IntArray* strides = jvm_.NewIntArray({width, chromaWidth, chromaWidth, 0}, "strides");
    fakejni::IntArray* offsets = jvm_.NewIntArray({0, 0, 0}, "offsets");
    fakejni::IntArray* outFrameSize = jvm_.NewIntArray({-1}, "outFrameSize");
    jbyteArray encoded = Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodei420(
        env(), cls(), handle_, width, height, reinterpret_cast<jobjectArray>(planes),
        reinterpret_cast<jintArray>(strides), reinterpret_cast<jintArray>(offsets), 0,
        reinterpret_cast<jintArray>(outFrameSize));
    RequireCleanJvm(jvm_, "Encodei420");
    if (encoded == nullptr) return;
    auto* bytes = reinterpret_cast<fakejni::ByteArray*>(encoded);
    Require(static_cast<size_t>(outFrameSize->elements[0]) == bytes->elements.size(),
            "the reported frame size differs from the returned array's length");
  }

 private:
  JNIEnv* env() { return jvm_.env(); }
  jclass cls() { return jvm_.nativeClass(); }
  jobject Object(fakejni::Class* cls) {
    return reinterpret_cast<jobject>(jvm_.NewObject(cls, "config"));
  }

  fakejni::IntArray* SliceArray(WordReader& words) {
    uint32_t length = static_cast<uint32_t>(words.Next()) % kSliceLengths;
    if (length == kSliceLengths - 1) return nullptr;
    std::vector<jint> elements(length);
    for (jint& element : elements) element = words.Next();
    return jvm_.NewIntArray(elements, "slices");
  }

  // A diagonal gradient, rows packed tightly.
  fakejni::ByteArray* Plane(jint width, jint height) {
    std::vector<jbyte> bytes;
    for (jint row = 0; row < height; ++row) {
      for (jint column = 0; column < width; ++column) {
        bytes.push_back(static_cast<jbyte>(16 + (row + column) * 3 / 2));
      }
    }
    return jvm_.NewByteArray(bytes, "plane");
  }

  fakejni::FakeJvm jvm_;
  jlong handle_ = 0;
};

jint PictureSide(int32_t word) {
  return 1 + static_cast<jint>(static_cast<uint32_t>(word) % kMaxPictureSide);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::SilenceCodecLogging();
  fuzzsupport::LoadOpenH264();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WordReader words(data, size);
  ConfigRun run;
  run.SetBaseConfig(words);
  for (int layer = 0; layer < kLayerSlots; ++layer) run.SetLayerConfig(words, layer);
  run.SetBitrate(words.Next());
  jint width = PictureSide(words.Next());
  jint height = PictureSide(words.Next());
  run.Encode(width, height);
  return 0;
}
