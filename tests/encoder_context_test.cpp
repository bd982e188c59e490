#include "encoder/encoder_context.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/fakes/fake_jni.h"
#include "tests/fakes/fake_openh264.h"

namespace {

using fakeh264::FakeOpenH264;
using fakejni::FakeJvm;
using testing::_;
using testing::InSequence;
using testing::Return;
using testing::StrictMock;

class EncoderContextTest : public testing::Test {
 protected:
  jlong Create() {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderCreate(
        jvm.env(), jvm.nativeClass(), nullptr, nullptr, nullptr, nullptr);
  }
  void Destroy(jlong handle) {
    Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderDestroy(jvm.env(), jvm.nativeClass(),
                                                                 handle);
  }

  FakeJvm jvm;
  StrictMock<FakeOpenH264> openh264;
};

TEST_F(EncoderContextTest, CreateSendsOneDebugMessageAndMakesNoCodecCall) {
  jlong handle = Create();
  ASSERT_NE(handle, 0);
  EXPECT_EQ(jvm.debugMessages, (std::vector<std::string>{"openh264 encode: Created context."}));
  EXPECT_TRUE(jvm.errorMessages.empty());
  Destroy(handle);
}

TEST_F(EncoderContextTest, FreshContextHoldsItsStartingValuesAndAZeroedConfiguration) {
  jlong handle = Create();
  EncoderContext* context = EncoderFromHandle(handle);
  EXPECT_EQ(context->encoder, nullptr);
  EXPECT_EQ(context->sourcePicture, nullptr);
  EXPECT_EQ(context->forceKeyFrame, 1);
  EXPECT_EQ(context->bitrate, 320);
  EXPECT_EQ(context->width, 0);
  EXPECT_EQ(context->height, 0);
  EXPECT_EQ(context->errorChannel, 'E');
  EXPECT_EQ(context->debugChannel, 'D');
  EXPECT_EQ(context->config.iSpatialLayerNum, 0);
  EXPECT_EQ(context->layerConfig[3].uiSliceMbNum[34], 0);
  Destroy(handle);
}

TEST_F(EncoderContextTest, DestroyOfZeroHandleDoesNothing) {
  Destroy(0);
  EXPECT_TRUE(jvm.calls.empty());
}

TEST_F(EncoderContextTest, DestroyWithARunningEncoderUninitialisesThenDestroysIt) {
  jlong handle = Create();
  EncoderFromHandle(handle)->encoder = &openh264.encoder;
  {
    InSequence order;
    EXPECT_CALL(openh264.encoder, Uninitialize()).WillOnce(Return(0));
    EXPECT_CALL(openh264, DestroyEncoder(&openh264.encoder));
  }
  size_t callsBefore = jvm.calls.size();
  Destroy(handle);
  EXPECT_EQ(jvm.calls.size(), callsBefore) << "Destroy sends no message";
}

}  // namespace
