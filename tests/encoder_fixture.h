// Shared set-up for the encoder tests: a fake JVM, a fake OpenH264, an
// encoder context, configuration objects with every getter, and pictures.
#ifndef TQ_TESTS_ENCODER_FIXTURE_H
#define TQ_TESTS_ENCODER_FIXTURE_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/config_intake.h"
#include "encoder/encoder_context.h"
#include "encoder/encoder_params.h"
#include "encoder/frame_encoding.h"
#include "encoder/runtime_controls.h"
#include "tests/encoder_getters.h"
#include "tests/fakes/fake_jni.h"
#include "tests/fakes/fake_jvm_test.h"
#include "tests/fakes/fake_openh264.h"

namespace encodertest {

// The Java arrays of one picture handed to the encoder.
struct Picture {
  jobjectArray planes;
  jintArray strides;
  jintArray offsets;
  fakejni::IntArray* outFrameSize;
};

class EncoderTest : public fakejni::FakeJvmTest {
 protected:
  EncoderTest();
  ~EncoderTest() override;

  EncoderContext* context() { return EncoderFromHandle(handle); }

  // A configuration object whose int getters return their 1-based position
  // in kBaseGetters (getMaxFrameRate returns 30.5).
  jobject BaseConfig();
  // A layer object whose getters return distinct values; slices 1000 + i.
  jobject LayerConfig();

  // A picture of width x height with tightly packed planes at offset 0.
  Picture MakePicture(int width, int height);
  jbyteArray Encode(const Picture& picture, int width, int height);

  // Makes EncodeFrame produce `layers` layers of NAL units with the given
  // lengths and bytes 1, 2, 3, ... running across the whole frame.
  void ProduceFrame(EVideoFrameType type, const std::vector<std::vector<int>>& layers);

  testing::NiceMock<fakeh264::FakeOpenH264> openh264;
  jlong handle = 0;
  std::vector<std::vector<unsigned char>> layerBytes;
  std::vector<std::vector<int>> nalLengths;
};

}  // namespace encodertest

#endif
