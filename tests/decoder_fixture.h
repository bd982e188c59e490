// Shared set-up of the decoder tests: a fake JVM with a Java configuration
// object, the fake OpenH264, and the calls of the decoder entry points.
#ifndef TQ_TESTS_DECODER_FIXTURE_H
#define TQ_TESTS_DECODER_FIXTURE_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/config_intake.h"
#include "decoder/decoder_context.h"
#include "decoder/decoder_params.h"
#include "decoder/frame_decoding.h"
#include "decoder/key_frame_flag.h"
#include "tests/fakes/fake_jni.h"
#include "tests/fakes/fake_jvm_test.h"
#include "tests/fakes/fake_openh264.h"

namespace decodertest {

// The values the seven getters of the Java configuration return.
struct JavaDecoderConfig {
  bool hasFileName = false;
  std::string fileName;
  jint cpuLoad = 0;
  jchar targetDqLayer = 255;
  jint ecActiveIdc = 0;
  jint parseOnly = 0;
  jint videoSize = 8;
  jint videoBsType = 1;
};

class DecoderFixture : public fakejni::FakeJvmTest {
 protected:
  void SetUp() override {
    configClass = jvm.NewClass("tq/brindlecast/openh264/DecoderConfig");
    configObject = jvm.NewObject(configClass, "config");
    DefineConfig(JavaDecoderConfig());
  }

  void TearDown() override {
    if (handle != 0) Destroy(handle);
  }

  // Makes the configuration object's getters return these values.
  void DefineConfig(const JavaDecoderConfig& values) {
    using fakejni::Value;
    configClass->Getter(
        "getFileNameRestructed", "()Ljava/lang/String;",
        Value::Ref(values.hasFileName ? jvm.NewString(values.fileName, "name") : nullptr));
    configClass->Getter("getCpuLoad", "()I", Value::Int(values.cpuLoad));
    configClass->Getter("getTargetDqLayer", "()C", Value::Char(values.targetDqLayer));
    configClass->Getter("getEcActiveIdc", "()I", Value::Int(values.ecActiveIdc));
    configClass->Getter("getParseOnly", "()I", Value::Int(values.parseOnly));
    configClass->Getter("getVideoSize", "()I", Value::Int(values.videoSize));
    configClass->Getter("getVideoBsType", "()I", Value::Int(values.videoBsType));
  }

  jlong Create() {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderCreate(
        env(), cls(), Ref<jobject>(&allocMarker), Ref<jobject>(&returnMarker), nullptr, nullptr);
  }
  void Destroy(jlong which) {
    Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDestroy(env(), cls(), which);
    if (which == handle) handle = 0;
  }
  jint SetConfig(jobject object) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetConfig(env(), cls(), handle,
                                                                          object);
  }
  jint SetConfig() { return SetConfig(Ref<jobject>(configObject)); }
  DecoderContext* context() { return DecoderFromHandle(handle); }

  // The five out-arrays of Decode, filled with -1 so writes show.
  struct OutArrays {
    fakejni::IntArray* width;
    fakejni::IntArray* height;
    fakejni::IntArray* strides;
    fakejni::IntArray* planeSizes;
    fakejni::IntArray* planeCount;
  };
  OutArrays NewOutArrays() {
    return {jvm.NewIntArray({-1}, "outWidth"), jvm.NewIntArray({-1}, "outHeight"),
            jvm.NewIntArray({-1, -1, -1}, "outStrides"),
            jvm.NewIntArray({-1, -1, -1}, "outPlaneSizes"), jvm.NewIntArray({-1}, "outPlaneCount")};
  }
  static bool Untouched(const OutArrays& out) {
    for (fakejni::IntArray* array :
         {out.width, out.height, out.strides, out.planeSizes, out.planeCount}) {
      if (array != nullptr && array->pins != 0) return false;
    }
    return true;
  }

  jbyteArray Decode(fakejni::ByteArray* bitstream, jint length, const OutArrays& out) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecode(
        env(), cls(), handle, Ref<jbyteArray>(bitstream), length, Ref<jintArray>(out.width),
        Ref<jintArray>(out.height), Ref<jintArray>(out.strides), Ref<jintArray>(out.planeSizes),
        Ref<jintArray>(out.planeCount));
  }
  jbyteArray Decode(fakejni::ByteArray* bitstream, jint length) {
    return Decode(bitstream, length, NewOutArrays());
  }

  testing::StrictMock<fakeh264::FakeOpenH264> openh264;
  fakejni::Class* configClass = nullptr;
  fakejni::Object* configObject = nullptr;
  jlong handle = 0;
  int allocMarker = 0;
  int returnMarker = 0;
};

}  // namespace decodertest

#endif
