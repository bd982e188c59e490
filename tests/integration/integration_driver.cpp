// Drives the built library as a Java application would, through its JNI
// entry points and a fake JVM, against the real OpenH264 it loads: the file
// TQ_OPENH264_LIBRARY names, or the first its search finds.
// It runs where no JVM does (Windows programs under Wine); the script beside
// it checks the files it writes with ffmpeg.
//
//   integration_driver encode <stream.h264> <input.yuv>
//     Encodes 30 moving 320x240 pictures, writes the stream and the input.
//   integration_driver decode <stream.h264> <output.yuv> <pictures held back on 2.x>
//     Decodes the stream access unit by access unit, then drains; writes the
//     pictures as packed I420 and checks the drain against the release.
//   integration_driver refcount
//     Encodes with reference counts OpenH264 1.7.0 cannot take (20, 100).
#include <jni.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/fakes/fake_jni.h"

// The entry points, as the JVM binds them by name.
extern "C" {
JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderCreate(
    JNIEnv*, jclass, jobject, jobject, jobject, jobject);
JNIEXPORT void JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderDestroy(JNIEnv*, jclass,
                                                                                    jlong);
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetConfig(JNIEnv*,
                                                                                      jclass, jlong,
                                                                                      jobject);
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetSpatialLayerConfig(
    JNIEnv*, jclass, jlong, jobject, jint);
JNIEXPORT jbyteArray JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodei420(
    JNIEnv*, jclass, jlong, jint, jint, jobjectArray, jintArray, jintArray, jlong, jintArray);
JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderCreate(
    JNIEnv*, jclass, jobject, jobject, jobject, jobject);
JNIEXPORT void JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDestroy(JNIEnv*, jclass,
                                                                                    jlong);
JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetConfig(JNIEnv*,
                                                                                      jclass, jlong,
                                                                                      jobject);
JNIEXPORT jbyteArray JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecode(
    JNIEnv*, jclass, jlong, jbyteArray, jint, jintArray, jintArray, jintArray, jintArray,
    jintArray);
JNIEXPORT jstring JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryLoad(JNIEnv*, jclass,
                                                                                    jstring);
JNIEXPORT jstring JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryRelease(JNIEnv*,
                                                                                       jclass);
JNIEXPORT jstring JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryFile(JNIEnv*,
                                                                                    jclass);
}

namespace {

using fakejni::Value;

const int kWidth = 320, kHeight = 240, kPictures = 30;
// The release loaded, e.g. "2.6.0"; set by LoadOpenH264.
std::string kRelease;

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

template <typename T>
T Ref(fakejni::Object* object) {
  return reinterpret_cast<T>(object);
}

// An EncoderConfig with the Java class's defaults, every picture kept.
jobject EncoderConfig(fakejni::FakeJvm& jvm, int numRefFrame) {
  fakejni::Class* c = jvm.NewClass("tq/brindlecast/openh264/EncoderConfig");
  const struct {
    const char* name;
    int value;
  } ints[] = {{"getUsageType", 0},
              {"getRcMode", 0},
              {"getComplexityMode", 0},
              {"getIntraPeriod", 0},
              {"getNumRefFrame", numRefFrame},
              {"getParameterStrategy", 1},
              {"getPrefixNalAddingControl", 0},
              {"getEnableSsei", 0},
              {"getSimulcastAvc", 0},
              {"getPaddingFlag", 0},
              {"getEntropyCodingModeFlag", 0},
              {"getEnableFrameSkip", 0},
              {"getMinQP", 0},
              {"getMaxQP", 51},
              {"getMaxNalSize", 0},
              {"getEnableLongTermReference", 0},
              {"getLtrNumber", 0},
              {"getLtrMarkPeriod", 30},
              {"getMultipleThreadIdc", 1},
              {"getUseLoadBalancing", 1},
              {"getLoopFilterDisableIdc", 0},
              {"getLoopFilterAlphaC0Offset", 0},
              {"getLoopFilterBetaOffset", 0},
              {"getEnableDenoise", 0},
              {"getEnableBackgroundDetection", 1},
              {"getEnableAdaptiveQuant", 1},
              {"getEnableFrameCroppingFlag", 1},
              {"getEnableSceneChangeDetect", 1},
              {"getIsLosslessLink", 0},
              {"getTemporalLayers", 1},
              {"getSpatialLayers", 1}};
  for (const auto& getter : ints) c->Getter(getter.name, "()I", Value::Int(getter.value));
  c->Getter("getMaxFrameRate", "()F", Value::Float(30.0f));
  return Ref<jobject>(jvm.NewObject(c, "config"));
}

jobject LayerConfig(fakejni::FakeJvm& jvm) {
  fakejni::Class* c = jvm.NewClass("tq/brindlecast/openh264/SpatialLayerConfig");
  const struct {
    const char* name;
    int value;
  } ints[] = {{"getProfileIdc", 0},
              {"getLevelIdc", 0},
              {"getDLayerQp", 26},
              {"getSliceMode", 0},
              {"getSliceNum", 0},
              {"getSliceSizeConstraint", 1500},
              {"getVideoSignalTypePresent", 0},
              {"getFullRange", 0},
              {"getColorDescriptionPresent", 0},
              {"getAspectRatioPresent", 0},
              {"getAspectRatio", 0},
              {"getAspectRatioExtWidth", 0},
              {"getAspectRatioExtHeight", 0}};
  for (const auto& getter : ints) c->Getter(getter.name, "()I", Value::Int(getter.value));
  c->Getter("getFrameRate", "()F", Value::Float(30.0f));
  c->Getter("getVideoFormat", "()C", Value::Char(5));
  c->Getter("getColorPrimaries", "()C", Value::Char(2));
  c->Getter("getTransferCharacteristics", "()C", Value::Char(2));
  c->Getter("getColorMatrix", "()C", Value::Char(2));
  c->Getter("getSliceMBNum", "()[I", Value::Ref(jvm.NewIntArray(std::vector<jint>(35), "mbs")));
  return Ref<jobject>(jvm.NewObject(c, "layer"));
}

// A picture that moves, so every picture codes differently.
std::vector<jbyte> MovingPicture(int index) {
  std::vector<jbyte> packed(kWidth * kHeight * 3 / 2);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      packed[y * kWidth + x] = static_cast<jbyte>((x + 3 * index) ^ (y + 2 * index));
  for (size_t i = kWidth * kHeight; i < packed.size(); ++i)
    packed[i] = static_cast<jbyte>(128 + (static_cast<int>(i) + index) % 32);
  return packed;
}

bool WriteFile(const std::string& path, const std::vector<jbyte>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool ReadFile(const std::string& path, std::vector<jbyte>* bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes->insert(bytes->end(), buffer, buffer + n);
  std::fclose(file);
  return true;
}

// Encodes kPictures pictures; returns the stream (empty when a call failed)
// and appends the raw input to *input when given.
std::vector<jbyte> Encode(int numRefFrame, std::vector<jbyte>* input) {
  fakejni::FakeJvm jvm;
  JNIEnv* env = jvm.env();
  jclass cls = jvm.nativeClass();
  jlong handle = Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderCreate(
      env, cls, nullptr, nullptr, nullptr, nullptr);
  std::vector<jbyte> stream;
  bool ok = Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetConfig(
                env, cls, handle, EncoderConfig(jvm, numRefFrame)) == 0 &&
            Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetSpatialLayerConfig(
                env, cls, handle, LayerConfig(jvm), 0) == 0;
  for (int i = 0; ok && i < kPictures; ++i) {
    std::vector<jbyte> packed = MovingPicture(i);
    if (input != nullptr) input->insert(input->end(), packed.begin(), packed.end());
    size_t lumaSize = kWidth * kHeight, chromaSize = lumaSize / 4;
    auto* y = jvm.NewByteArray({packed.begin(), packed.begin() + lumaSize}, "y");
    auto* u =
        jvm.NewByteArray({packed.begin() + lumaSize, packed.begin() + lumaSize + chromaSize}, "u");
    auto* v = jvm.NewByteArray({packed.begin() + lumaSize + chromaSize, packed.end()}, "v");
    jbyteArray out = Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodei420(
        env, cls, handle, kWidth, kHeight, Ref<jobjectArray>(jvm.NewObjectArray({y, u, v})),
        Ref<jintArray>(jvm.NewIntArray({kWidth, kWidth / 2, kWidth / 2})),
        Ref<jintArray>(jvm.NewIntArray({0, 0, 0})), 0, Ref<jintArray>(jvm.NewIntArray({0})));
    if (out == nullptr) {
      ok = false;
      break;
    }
    const auto& bytes = reinterpret_cast<fakejni::ByteArray*>(out)->elements;
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderDestroy(env, cls, handle);
  for (const std::string& message : jvm.errorMessages)
    std::printf("  error: %s\n", message.c_str());
  if (!ok || !jvm.violations.empty() || jvm.ViewsHeld() != 0) stream.clear();
  return stream;
}

// The offsets of the access units: each starts at an access unit delimiter,
// SPS or a first slice whose first_mb_in_slice is 0.
std::vector<size_t> AccessUnitStarts(const std::vector<jbyte>& s) {
  std::vector<size_t> starts;
  bool sawSlice = false;
  for (size_t i = 0; i + 4 < s.size(); ++i) {
    if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
    size_t nal = i + 3;
    size_t start = (i > 0 && s[i - 1] == 0) ? i - 1 : i;
    int type = s[nal] & 0x1F;
    bool firstSlice = (type == 1 || type == 5) && (static_cast<unsigned char>(s[nal + 1]) & 0x80);
    bool opensUnit = type == 9 || type == 7 || type == 8 || type == 6 || firstSlice;
    if (opensUnit && (sawSlice || starts.empty())) {
      starts.push_back(start);
      sawSlice = false;
    }
    if (type == 1 || type == 5) sawSlice = true;
  }
  return starts;
}

struct Decoded {
  std::vector<jbyte> packed;
  int fromData = 0, fromDrain = 0;
  bool ok = true;
};

// Appends a decoded picture without its stride padding.
void AppendPicture(fakejni::FakeJvm& jvm, jbyteArray out, fakejni::IntArray* width,
                   fakejni::IntArray* height, fakejni::IntArray* strides, Decoded* decoded) {
  const auto& bytes = reinterpret_cast<fakejni::ByteArray*>(out)->elements;
  int w = width->elements[0], h = height->elements[0];
  int lumaStride = strides->elements[0], chromaStride = strides->elements[1];
  size_t chromaOffset = static_cast<size_t>(lumaStride) * h;
  size_t chromaPlane = static_cast<size_t>(chromaStride) * (h / 2);
  for (int y = 0; y < h; ++y)
    decoded->packed.insert(decoded->packed.end(), bytes.begin() + y * lumaStride,
                           bytes.begin() + y * lumaStride + w);
  for (int plane = 0; plane < 2; ++plane)
    for (int y = 0; y < h / 2; ++y) {
      size_t row = chromaOffset + plane * chromaPlane + static_cast<size_t>(y) * chromaStride;
      decoded->packed.insert(decoded->packed.end(), bytes.begin() + row,
                             bytes.begin() + row + w / 2);
    }
  (void)jvm;
}

Decoded Decode(const std::vector<jbyte>& stream) {
  fakejni::FakeJvm jvm;
  JNIEnv* env = jvm.env();
  jclass cls = jvm.nativeClass();
  fakejni::Class* c = jvm.NewClass("tq/brindlecast/openh264/DecoderConfig");
  c->Getter("getFileNameRestructed", "()Ljava/lang/String;", Value::Ref(nullptr));
  c->Getter("getCpuLoad", "()I", Value::Int(0));
  c->Getter("getTargetDqLayer", "()C", Value::Char(255));
  c->Getter("getEcActiveIdc", "()I", Value::Int(0));
  c->Getter("getParseOnly", "()I", Value::Int(0));
  c->Getter("getVideoSize", "()I", Value::Int(8));
  c->Getter("getVideoBsType", "()I", Value::Int(1));
  jlong handle = Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderCreate(
      env, cls, nullptr, nullptr, nullptr, nullptr);
  Decoded decoded;
  decoded.ok = Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetConfig(
                   env, cls, handle, Ref<jobject>(jvm.NewObject(c, "config"))) == 0;
  std::vector<size_t> starts = AccessUnitStarts(stream);
  starts.push_back(stream.size());
  // One call per access unit, then calls without data until nothing comes.
  for (size_t unit = 0; decoded.ok; ++unit) {
    bool draining = unit + 1 >= starts.size();
    if (draining && unit + 1 - starts.size() > 64) break;
    fakejni::ByteArray* data = nullptr;
    jint length = 0;
    if (!draining) {
      data = jvm.NewByteArray({stream.begin() + starts[unit], stream.begin() + starts[unit + 1]});
      length = static_cast<jint>(data->elements.size());
    }
    auto* width = jvm.NewIntArray({0});
    auto* height = jvm.NewIntArray({0});
    auto* strides = jvm.NewIntArray({0, 0, 0});
    auto* sizes = jvm.NewIntArray({0, 0, 0});
    auto* count = jvm.NewIntArray({0});
    jbyteArray out = Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecode(
        env, cls, handle, Ref<jbyteArray>(data), length, Ref<jintArray>(width),
        Ref<jintArray>(height), Ref<jintArray>(strides), Ref<jintArray>(sizes),
        Ref<jintArray>(count));
    if (out == nullptr) {
      if (draining) break;
      continue;
    }
    AppendPicture(jvm, out, width, height, strides, &decoded);
    ++(draining ? decoded.fromDrain : decoded.fromData);
  }
  Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDestroy(env, cls, handle);
  for (const std::string& message : jvm.errorMessages)
    std::printf("  error: %s\n", message.c_str());
  decoded.ok = decoded.ok && jvm.violations.empty() && jvm.ViewsHeld() == 0;
  return decoded;
}

int RunEncode(const std::string& streamPath, const std::string& inputPath) {
  std::vector<jbyte> input;
  std::vector<jbyte> stream = Encode(-1, &input);
  Check(!stream.empty(), "30 pictures encode");
  Check(WriteFile(streamPath, stream) && WriteFile(inputPath, input), "stream and input written");
  return failures;
}

int RunDecode(const std::string& streamPath, const std::string& outputPath, int heldOn2x) {
  std::vector<jbyte> stream;
  Check(ReadFile(streamPath, &stream), "stream read");
  Decoded decoded = Decode(stream);
  Check(decoded.ok, "every call clean");
  // OpenH264 1.x holds no picture back, so nothing comes out of the drain.
  int expectedFromDrain = kRelease.rfind("1.", 0) == 0 ? 0 : heldOn2x;
  std::printf("     OpenH264 %s: %d pictures from data, %d from the drain\n", kRelease.c_str(),
              decoded.fromData, decoded.fromDrain);
  Check(decoded.fromDrain == expectedFromDrain,
        "the drain gives " + std::to_string(expectedFromDrain) + " on " + kRelease);
  Check(WriteFile(outputPath, decoded.packed), "pictures written");
  return failures;
}

// OpenH264 1.7.0 overran its arrays with these counts; they must encode
// exactly as the highest count every release takes.
int RunRefCount() {
  std::vector<jbyte> most = Encode(16, nullptr);
  Check(!most.empty(), "numRefFrame 16 encodes");
  for (int count : {20, 100}) {
    std::vector<jbyte> stream = Encode(count, nullptr);
    Check(!stream.empty() && stream == most,
          "numRefFrame " + std::to_string(count) + " encodes as 16");
  }
  return failures;
}

std::string Utf(jstring string) {
  auto* held = dynamic_cast<fakejni::String*>(reinterpret_cast<fakejni::Object*>(string));
  return held == nullptr ? std::string() : held->utf;
}

// Loads OpenH264 as the Java loader does and prints the release and file.
bool LoadOpenH264() {
  fakejni::FakeJvm jvm;
  JNIEnv* env = jvm.env();
  jclass cls = jvm.nativeClass();
  const char* named = std::getenv("TQ_OPENH264_LIBRARY");
  jstring requested = named == nullptr ? nullptr : Ref<jstring>(jvm.NewString(named));
  jstring report = Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryLoad(env, cls, requested);
  if (report != nullptr) {
    std::fprintf(stderr, "%s\n", Utf(report).c_str());
    return false;
  }
  kRelease = Utf(Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryRelease(env, cls));
  std::string file = Utf(Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryFile(env, cls));
  std::printf("     OpenH264 %s from %s\n", kRelease.c_str(), file.c_str());
  return !kRelease.empty();
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (!LoadOpenH264()) return 2;
  if (mode == "encode" && argc == 4) return RunEncode(argv[2], argv[3]) == 0 ? 0 : 1;
  if (mode == "decode" && argc == 5)
    return RunDecode(argv[2], argv[3], std::atoi(argv[4])) == 0 ? 0 : 1;
  if (mode == "refcount" && argc == 2) return RunRefCount() == 0 ? 0 : 1;
  std::fprintf(stderr,
               "usage: %s encode <stream> <input.yuv> | decode <stream> <output.yuv> <held on 2.x> "
               "| refcount\n",
               argv[0]);
  return 2;
}
