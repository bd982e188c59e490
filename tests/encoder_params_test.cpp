#include <climits>
#include <cstring>

#include "tests/encoder_fixture.h"

namespace encodertest {
namespace {

using fakejni::Value;
using testing::_;
using testing::Invoke;
using testing::Return;

// An enum field read as the int it holds: Java's values may lie outside the
// enum's range, where reading the field as the enum is undefined.
template <typename Enum>
int32_t Bits(const Enum& field) {
  int32_t value;
  memcpy(&value, &field, sizeof value);
  return value;
}

class ParameterBuilding : public EncoderTest {
 protected:
  void SetUp() override {
    Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetConfig(env(), cls(), handle,
                                                                   BaseConfig());
    for (int layer = 0; layer < 4; ++layer) {
      Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetSpatialLayerConfig(
          env(), cls(), handle, LayerConfig(), layer);
    }
    jvm.debugMessages.clear();
    context()->width = 640;
    context()->height = 360;
  }
  int Build(SEncParamExt* params) {
    return OpenH264TQEncoderBuildEncoderParams(env(), cls(), context(), params);
  }
};

TEST_F(ParameterBuilding, WithoutAnEncoderItFailsAndLeavesTheRecordUntouched) {
  SEncParamExt params;
  memset(&params, 0x5A, sizeof params);
  EXPECT_EQ(Build(&params), -1);
  EXPECT_EQ(jvm.errorMessages,
            (std::vector<std::string>{"openh264 encode: Encoder must be created before calling "
                                      "OpenH264TQEncoderUpdateCodecControl()."}));
  unsigned char expected[sizeof params];
  memset(expected, 0x5A, sizeof expected);
  EXPECT_EQ(memcmp(&params, expected, sizeof params), 0);
}

TEST_F(ParameterBuilding, FailingDefaultsAreReportedWithTheirCode) {
  context()->encoder = &openh264.encoder;
  EXPECT_CALL(openh264.encoder, GetDefaultParams(_)).WillOnce(Return(7));
  SEncParamExt params = {};
  EXPECT_EQ(Build(&params), 7);
  EXPECT_EQ(
      jvm.errorMessages,
      (std::vector<std::string>{"openh264 encode: Could not initialize H.264 encoder config. 7"}));
  context()->encoder = nullptr;
}

TEST_F(ParameterBuilding, CopiesEveryFieldWithItsNarrowingRule) {
  context()->encoder = &openh264.encoder;
  context()->config.uiIntraPeriod = -1;
  context()->config.iMultipleThreadIdc = 65537;
  context()->config.bEnableFrameSkip = 2;
  context()->config.bIsLosslessLink = 0;
  context()->layerConfig[1].uiVideoFormat = 0x105;
  context()->layerConfig[1].sAspectRatioExtWidth = 0x12345;
  context()->layerConfig[1].uiSliceMbNum[7] = -2;
  SEncParamExt params;
  ASSERT_EQ(Build(&params), 0);
  EXPECT_TRUE(jvm.errorMessages.empty() && jvm.debugMessages.empty());

  EXPECT_EQ(Bits(params.iUsageType), 1);
  EXPECT_EQ(Bits(params.iRCMode), 2);
  EXPECT_FLOAT_EQ(params.fMaxFrameRate, 30.5f);
  EXPECT_EQ(Bits(params.iComplexityMode), 4);
  EXPECT_EQ(params.uiIntraPeriod, 0xFFFFFFFFu);
  EXPECT_EQ(params.iNumRefFrame, 6);
  EXPECT_EQ(Bits(params.eSpsPpsIdStrategy), 7);
  EXPECT_TRUE(params.bPrefixNalAddingCtrl);
  EXPECT_TRUE(params.bEnableFrameSkip);
  EXPECT_FALSE(params.bIsLosslessLink);
  EXPECT_EQ(params.iMinQp, 14);
  EXPECT_EQ(params.iMaxQp, 15);
  EXPECT_EQ(params.uiMaxNalSize, 16u);
  EXPECT_EQ(params.iMultipleThreadIdc, 1);
  EXPECT_EQ(params.iLoopFilterBetaOffset, 24);
  EXPECT_EQ(params.iTemporalLayerNum, 31);
  EXPECT_EQ(params.iSpatialLayerNum, 32);

  const SSpatialLayerConfig& layer = params.sSpatialLayers[1];
  EXPECT_FLOAT_EQ(layer.fFrameRate, 25.0f);
  EXPECT_EQ(Bits(layer.uiProfileIdc), 101);
  EXPECT_EQ(Bits(layer.uiLevelIdc), 102);
  EXPECT_EQ(layer.iDLayerQp, 103);
  EXPECT_EQ(Bits(layer.sSliceArgument.uiSliceMode), 104);
  EXPECT_EQ(layer.sSliceArgument.uiSliceNum, 105u);
  EXPECT_EQ(layer.sSliceArgument.uiSliceSizeConstraint, 106u);
  EXPECT_EQ(layer.sSliceArgument.uiSliceMbNum[0], 1000u);
  EXPECT_EQ(layer.sSliceArgument.uiSliceMbNum[7], 0xFFFFFFFEu);
  EXPECT_EQ(layer.sSliceArgument.uiSliceMbNum[34], 1034u);
  EXPECT_EQ(layer.uiVideoFormat, 5);
  EXPECT_EQ(layer.uiColorPrimaries, 111);
  EXPECT_EQ(Bits(layer.eAspectRatio), 115);
  EXPECT_EQ(layer.sAspectRatioExtWidth, 0x2345);
  EXPECT_TRUE(layer.bVideoSignalTypePresent);
  context()->encoder = nullptr;
}

TEST_F(ParameterBuilding, AllFourLayersGetThePictureSizeAndTheWholeBitrate) {
  context()->encoder = &openh264.encoder;
  context()->config.iSpatialLayerNum = 1;
  SEncParamExt params;
  ASSERT_EQ(Build(&params), 0);
  EXPECT_EQ(params.iPicWidth, 640);
  EXPECT_EQ(params.iPicHeight, 360);
  EXPECT_EQ(params.iTargetBitrate, 327680);
  EXPECT_EQ(params.iMaxBitrate, 327680);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(params.sSpatialLayers[i].iVideoWidth, 640) << i;
    EXPECT_EQ(params.sSpatialLayers[i].iVideoHeight, 360) << i;
    EXPECT_EQ(params.sSpatialLayers[i].iSpatialBitrate, 327680) << i;
    EXPECT_EQ(params.sSpatialLayers[i].iMaxSpatialBitrate, 327680) << i;
    EXPECT_EQ(Bits(params.sSpatialLayers[i].uiProfileIdc), 101) << i;
  }
  context()->encoder = nullptr;
}

TEST_F(ParameterBuilding, SlicedPicturesAreEncodedByOneThread) {
  context()->encoder = &openh264.encoder;
  context()->config.iSpatialLayerNum = 2;
  context()->config.iMultipleThreadIdc = 0;
  for (EncoderLayerConfig& layer : context()->layerConfig) layer.uiSliceMode = SM_SINGLE_SLICE;
  SEncParamExt params;
  ASSERT_EQ(Build(&params), 0);
  EXPECT_EQ(params.iMultipleThreadIdc, 0) << "single slices keep the thread setting";

  context()->layerConfig[3].uiSliceMode = SM_FIXEDSLCNUM_SLICE;
  ASSERT_EQ(Build(&params), 0);
  EXPECT_EQ(params.iMultipleThreadIdc, 0) << "an unused layer does not count";

  context()->layerConfig[1].uiSliceMode = SM_RASTER_SLICE;
  ASSERT_EQ(Build(&params), 0);
  EXPECT_EQ(params.iMultipleThreadIdc, 1);
  context()->encoder = nullptr;
}

TEST_F(ParameterBuilding, ReferenceCountsReachOpenH264OnlyInTheRangeEveryReleaseHandles) {
  context()->encoder = &openh264.encoder;
  const struct {
    int32_t stored, sent;
  } cases[] = {{-1, -1},  {1, 1},          {16, 16}, {17, 16}, {20, 16},
               {100, 16}, {INT32_MAX, 16}, {0, -1},  {-2, -1}, {INT32_MIN, -1}};
  for (const auto& c : cases) {
    context()->config.iNumRefFrame = c.stored;
    SEncParamExt params;
    ASSERT_EQ(Build(&params), 0);
    EXPECT_EQ(params.iNumRefFrame, c.sent) << "stored " << c.stored;
  }
  context()->encoder = nullptr;
}

TEST(BitrateArithmetic, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(BitrateToBitsPerSecond(320), 327680);
  EXPECT_EQ(BitrateToBitsPerSecond(2097151), 2147482624);
  EXPECT_EQ(BitrateToBitsPerSecond(2097152), INT32_MAX);
  EXPECT_EQ(BitrateToBitsPerSecond(INT32_MAX), INT32_MAX);
  EXPECT_EQ(BitrateToBitsPerSecond(-5), -5120);
  EXPECT_EQ(BitrateToBitsPerSecond(INT32_MIN), INT32_MIN);
}

class ApplyConfigChanges : public EncoderTest {
 protected:
  jint Apply(jlong target) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderApplyConfigChanges(env(), cls(),
                                                                                   target, 0);
  }
};

TEST_F(ApplyConfigChanges, BeforeTheFirstPictureAnswersZeroAndSendsNothing) {
  EXPECT_CALL(openh264.encoder, GetDefaultParams(_)).Times(0);
  EXPECT_EQ(Apply(handle), 0);
  EXPECT_TRUE(jvm.calls.empty());
  EXPECT_EQ(Apply(0), -1);
}

TEST_F(ApplyConfigChanges, HandsTheRebuiltRecordToTheRunningEncoder) {
  context()->encoder = &openh264.encoder;
  context()->width = 320;
  context()->height = 240;
  context()->bitrate = 500;
  int seenWidth = 0, seenBitrate = 0;
  EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_SVC_ENCODE_PARAM_EXT, _))
      .WillOnce(Invoke([&](ENCODER_OPTION, void* value) {
        auto* params = static_cast<SEncParamExt*>(value);
        seenWidth = params->iPicWidth;
        seenBitrate = params->iTargetBitrate;
        return 0;
      }))
      .WillOnce(Return(3));
  EXPECT_CALL(openh264.encoder, InitializeExt(_)).Times(0);
  EXPECT_CALL(openh264.encoder, Uninitialize()).Times(0);
  EXPECT_EQ(Apply(handle), 0);
  EXPECT_EQ(seenWidth, 320);
  EXPECT_EQ(seenBitrate, 512000);
  EXPECT_EQ(Apply(handle), 3) << "a rejected record returns SetOption's code";
  EXPECT_TRUE(jvm.errorMessages.empty());
  context()->encoder = nullptr;
}

TEST_F(ApplyConfigChanges, FailedBuildReturnsItsCodeWithoutTouchingTheEncoder) {
  context()->encoder = &openh264.encoder;
  EXPECT_CALL(openh264.encoder, GetDefaultParams(_)).WillOnce(Return(9));
  EXPECT_CALL(openh264.encoder, SetOption(_, _)).Times(0);
  EXPECT_EQ(Apply(handle), 9);
  EXPECT_EQ(jvm.errorMessages.size(), 1u);
  context()->encoder = nullptr;
}

}  // namespace
}  // namespace encodertest
