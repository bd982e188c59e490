#include "tests/encoder_fixture.h"

namespace encodertest {

using fakejni::Value;
using testing::_;
using testing::Invoke;
using testing::Return;

EncoderTest::EncoderTest() {
  handle = Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderCreate(env(), cls(), nullptr,
                                                                       nullptr, nullptr, nullptr);
  jvm.debugMessages.clear();
  jvm.calls.clear();
  ON_CALL(openh264.encoder, GetDefaultParams(_)).WillByDefault(Invoke([](SEncParamExt* params) {
    memset(params, 0, sizeof *params);
    return 0;
  }));
}

EncoderTest::~EncoderTest() {
  Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderDestroy(env(), cls(), handle);
}

jobject EncoderTest::BaseConfig() {
  fakejni::Class* configClass = jvm.NewClass("EncoderConfig");
  for (size_t i = 0; i < kBaseGetters.size(); ++i) {
    if (kBaseGetters[i] == "getMaxFrameRate") {
      configClass->Getter(kBaseGetters[i], "()F", Value::Float(30.5f));
    } else {
      configClass->Getter(kBaseGetters[i], "()I", Value::Int(static_cast<jint>(i + 1)));
    }
  }
  return reinterpret_cast<jobject>(jvm.NewObject(configClass, "config"));
}

jobject EncoderTest::LayerConfig() {
  fakejni::Class* layerClass = jvm.NewClass("SpatialLayerConfig");
  std::vector<jint> slices(35);
  for (int i = 0; i < 35; ++i) slices[i] = 1000 + i;
  for (size_t i = 0; i < kLayerGetters.size(); ++i) {
    const std::string& name = kLayerGetters[i];
    if (name == "getFrameRate") {
      layerClass->Getter(name, "()F", Value::Float(25.0f));
    } else if (name == "getSliceMBNum") {
      layerClass->Getter(name, "()[I", Value::Ref(jvm.NewIntArray(slices, "slices")));
    } else if (IsCharGetter(name)) {
      layerClass->Getter(name, "()C", Value::Char(static_cast<jchar>(100 + i)));
    } else {
      layerClass->Getter(name, "()I", Value::Int(static_cast<jint>(100 + i)));
    }
  }
  return reinterpret_cast<jobject>(jvm.NewObject(layerClass, "layer"));
}

Picture EncoderTest::MakePicture(int width, int height) {
  int chromaWidth = (width + 1) / 2;
  int chromaHeight = (height + 1) / 2;
  auto* y = jvm.NewByteArray(std::vector<jbyte>((size_t)(width * height), 16), "y");
  auto* u = jvm.NewByteArray(std::vector<jbyte>((size_t)(chromaWidth * chromaHeight), 17), "u");
  auto* v = jvm.NewByteArray(std::vector<jbyte>((size_t)(chromaWidth * chromaHeight), 18), "v");
  Picture picture;
  picture.planes = reinterpret_cast<jobjectArray>(jvm.NewObjectArray({y, u, v}, "planes"));
  picture.strides =
      reinterpret_cast<jintArray>(jvm.NewIntArray({width, chromaWidth, chromaWidth, 0}, "strides"));
  picture.offsets = reinterpret_cast<jintArray>(jvm.NewIntArray({0, 0, 0}, "offsets"));
  picture.outFrameSize = jvm.NewIntArray({-1, -2}, "outFrameSize");
  return picture;
}

jbyteArray EncoderTest::Encode(const Picture& picture, int width, int height) {
  return Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodei420(
      env(), cls(), handle, width, height, picture.planes, picture.strides, picture.offsets, 0,
      reinterpret_cast<jintArray>(picture.outFrameSize));
}

void EncoderTest::ProduceFrame(EVideoFrameType type, const std::vector<std::vector<int>>& layers) {
  nalLengths = layers;
  layerBytes.clear();
  unsigned char next = 1;
  int total = 0;
  for (const auto& lengths : nalLengths) {
    std::vector<unsigned char> bytes;
    for (int length : lengths) {
      for (int i = 0; i < length; ++i) bytes.push_back(next++);
      total += length;
    }
    layerBytes.push_back(bytes);
  }
  ON_CALL(openh264.encoder, EncodeFrame(_, _))
      .WillByDefault(Invoke([this, type, total](const SSourcePicture*, SFrameBSInfo* info) {
        info->eFrameType = type;
        info->iFrameSizeInBytes = total;
        info->iLayerNum = static_cast<int>(nalLengths.size());
        for (size_t i = 0; i < nalLengths.size(); ++i) {
          info->sLayerInfo[i].iNalCount = static_cast<int>(nalLengths[i].size());
          info->sLayerInfo[i].pNalLengthInByte = nalLengths[i].data();
          info->sLayerInfo[i].pBsBuf = layerBytes[i].data();
        }
        return 0;
      }));
}

}  // namespace encodertest
