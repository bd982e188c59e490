#include "tests/encoder_fixture.h"

namespace encodertest {
namespace {

using testing::_;
using testing::InSequence;
using testing::Invoke;
using testing::Return;

class RuntimeControls : public EncoderTest {
 protected:
  jlong GetBitrate(jlong target) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderGetBitrate(env(), cls(), target);
  }
  void SetBitrate(jlong value) {
    Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetBitrate(env(), cls(), handle, value);
  }
  jlong GetForceKeyFrame() {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderGetForceKeyFrame(env(), cls(),
                                                                                 handle);
  }
  void SetForceKeyFrame(jlong value) {
    Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetForceKeyFrame(env(), cls(), handle,
                                                                          value);
  }
  jint SetComplexity(jint mode) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetComplexityMode(env(), cls(),
                                                                                  handle, mode);
  }
  // Makes the running encoder report `bitsPerSecond` for all layers.
  void EncoderReports(int bitsPerSecond) {
    context()->encoder = &openh264.encoder;
    ON_CALL(openh264.encoder, GetOption(ENCODER_OPTION_BITRATE, _))
        .WillByDefault(Invoke([bitsPerSecond](ENCODER_OPTION, void* value) {
          auto* info = static_cast<SBitrateInfo*>(value);
          EXPECT_EQ(info->iLayer, SPATIAL_LAYER_ALL);
          info->iBitrate = bitsPerSecond;
          return 0;
        }));
  }
  void TearDown() override { context()->encoder = nullptr; }
};

TEST_F(RuntimeControls, FreshContextReportsTheStartingValuesWithoutAnyCall) {
  EXPECT_EQ(GetBitrate(handle), 320);
  EXPECT_EQ(GetForceKeyFrame(), 1);
  EXPECT_TRUE(jvm.calls.empty());
}

TEST_F(RuntimeControls, ValuesStoredBeforeTheFirstPictureReachTheNewEncoder) {
  SetBitrate(500);
  EXPECT_EQ(SetComplexity(2), 0);
  EXPECT_EQ(GetBitrate(handle), 500);
  int target = 0, maximum = 0, complexity = -1;
  EXPECT_CALL(openh264.encoder, InitializeExt(_)).WillOnce(Invoke([&](const SEncParamExt* params) {
    target = params->iTargetBitrate;
    maximum = params->iMaxBitrate;
    complexity = params->iComplexityMode;
    return 0;
  }));
  Picture picture = MakePicture(32, 16);
  Encode(picture, 32, 16);
  EXPECT_EQ(target, 512000);
  EXPECT_EQ(maximum, 512000);
  EXPECT_EQ(complexity, 2);
}

TEST_F(RuntimeControls, RunningEncoderReportsItsOwnFigureDividedBy1024) {
  EncoderReports(1000 * 1024 + 1023);
  EXPECT_EQ(GetBitrate(handle), 1000);
  EncoderReports(-2047);
  EXPECT_EQ(GetBitrate(handle), -1) << "truncates toward zero";
  ON_CALL(openh264.encoder, GetOption(_, _)).WillByDefault(Return(1));
  EXPECT_EQ(GetBitrate(handle), -1);
}

TEST_F(RuntimeControls, RaisingTheBitrateLiftsTheMaximumFirst) {
  EncoderReports(400 * 1024);
  {
    InSequence order;
    EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_MAX_BITRATE, _))
        .WillOnce(Invoke([](ENCODER_OPTION, void* value) {
          EXPECT_EQ(static_cast<SBitrateInfo*>(value)->iBitrate, 600 * 1024);
          EXPECT_EQ(static_cast<SBitrateInfo*>(value)->iLayer, SPATIAL_LAYER_ALL);
          return 0;
        }));
    EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_BITRATE, _));
  }
  SetBitrate(600);
  EXPECT_EQ(context()->bitrate, 600);
}

TEST_F(RuntimeControls, LoweringOrKeepingTheBitrateSetsTheTargetFirst) {
  EncoderReports(400 * 1024);
  {
    InSequence order;
    EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_BITRATE, _));
    EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_MAX_BITRATE, _));
    EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_BITRATE, _));
    EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_MAX_BITRATE, _));
  }
  SetBitrate(300);
  SetBitrate(400);
}

TEST_F(RuntimeControls, UnreadableCurrentBitrateCountsAsRaising) {
  context()->encoder = &openh264.encoder;
  ON_CALL(openh264.encoder, GetOption(_, _)).WillByDefault(Return(1));
  InSequence order;
  EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_MAX_BITRATE, _));
  EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_BITRATE, _));
  SetBitrate(0);
}

TEST_F(RuntimeControls, HugeBitratesKeepTheirLow32BitsAndSaturateTowardsTheEncoder) {
  SetBitrate(0x100000000LL + 7);
  EXPECT_EQ(context()->bitrate, 7);
  EncoderReports(0);
  int sent = 0;
  EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_MAX_BITRATE, _));
  EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_BITRATE, _))
      .WillOnce(Invoke([&](ENCODER_OPTION, void* value) {
        sent = static_cast<SBitrateInfo*>(value)->iBitrate;
        return 0;
      }));
  SetBitrate(3000000);
  EXPECT_EQ(sent, INT32_MAX);
}

TEST_F(RuntimeControls, KeyFrameRequestIsStoredWholeAndConsumedByThePicture) {
  SetForceKeyFrame(5);
  EXPECT_EQ(GetForceKeyFrame(), 5);
  SetForceKeyFrame(0x123456789LL);
  EXPECT_EQ(GetForceKeyFrame(), 0x123456789LL);
  Picture picture = MakePicture(32, 16);
  ProduceFrame(videoFrameTypeIDR, {{2}});
  Encode(picture, 32, 16);
  EXPECT_EQ(GetForceKeyFrame(), 0);
}

TEST_F(RuntimeControls, ZeroOrNegativeRequestForcesNothing) {
  Picture picture = MakePicture(32, 16);
  ProduceFrame(videoFrameTypeP, {{2}});
  SetForceKeyFrame(-3);
  EXPECT_CALL(openh264.encoder, ForceIntraFrame(_, _)).Times(0);
  Encode(picture, 32, 16);
  EXPECT_EQ(GetForceKeyFrame(), 0);
}

TEST_F(RuntimeControls, ComplexityGoesToARunningEncoderAndItsCodeComesBack) {
  context()->encoder = &openh264.encoder;
  EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_COMPLEXITY, _))
      .WillOnce(Invoke([](ENCODER_OPTION, void* value) {
        EXPECT_EQ(*static_cast<int*>(value), 1);
        return 4;
      }));
  EXPECT_EQ(SetComplexity(1), 4);
  EXPECT_EQ(context()->config.iComplexityMode, 1);
  EXPECT_TRUE(jvm.calls.empty()) << "no message";
}

TEST_F(RuntimeControls, ZeroHandleAnswersWithFailureValues) {
  EXPECT_EQ(GetBitrate(0), -1);
  EXPECT_EQ(Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderGetForceKeyFrame(env(), cls(), 0),
            0);
  Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetForceKeyFrame(env(), cls(), 0, 1);
  Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetBitrate(env(), cls(), 0, 1);
  EXPECT_EQ(
      Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetComplexityMode(env(), cls(), 0, 1),
      -1);
}

}  // namespace
}  // namespace encodertest
