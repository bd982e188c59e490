#include <string>
#include <vector>

#include "tests/encoder_fixture.h"

namespace encodertest {
namespace {

using fakejni::Value;

std::vector<std::string> GetterCalls(const fakejni::FakeJvm& jvm) {
  std::vector<std::string> names;
  for (const std::string& call : jvm.CallsStartingWith("GetMethodID ")) {
    names.push_back(call.substr(12, call.find(' ', 12) - 12));
  }
  return names;
}

class ConfigIntake : public EncoderTest {
 protected:
  jint SetConfig(jobject config) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetConfig(env(), cls(), handle,
                                                                          config);
  }
  jint SetLayer(jobject layer, jint index) {
    return Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetSpatialLayerConfig(
        env(), cls(), handle, layer, index);
  }
};

TEST_F(ConfigIntake, BaseConfigReadsEveryGetterOnceInStorageOrderAndSendsNothing) {
  EXPECT_EQ(SetConfig(BaseConfig()), 0);
  EXPECT_EQ(GetterCalls(jvm), kBaseGetters);
  // One class reference per getter outlives the 16 JNI guarantees, so room
  // is made first.
  EXPECT_EQ(jvm.calls.front(), "EnsureLocalCapacity 48");
  const EncoderBaseConfig& config = context()->config;
  EXPECT_EQ(config.iUsageType, 1);
  EXPECT_EQ(config.iRCMode, 2);
  EXPECT_FLOAT_EQ(config.fMaxFrameRate, 30.5f);
  EXPECT_EQ(config.iComplexityMode, 4);
  EXPECT_EQ(config.uiMaxNalSize, 16);
  EXPECT_EQ(config.iMultipleThreadIdc, 20);
  EXPECT_EQ(config.iTemporalLayerNum, 31);
  EXPECT_EQ(config.iSpatialLayerNum, 32);
  EXPECT_TRUE(jvm.debugMessages.empty());
  EXPECT_TRUE(jvm.errorMessages.empty());
}

TEST_F(ConfigIntake, LayerConfigReadsTheSliceArrayLastAndStoresWideValuesUnchanged) {
  EXPECT_EQ(SetLayer(LayerConfig(), 2), 0);
  EXPECT_EQ(GetterCalls(jvm), kLayerGetters);
  EXPECT_EQ(jvm.debugMessages,
            (std::vector<std::string>{
                "openh264 encode: OpenH264 native encoder setting spatial layer 2 config."}));
  const EncoderLayerConfig& layer = context()->layerConfig[2];
  EXPECT_FLOAT_EQ(layer.fFrameRate, 25.0f);
  EXPECT_EQ(layer.uiProfileIdc, 101);
  EXPECT_EQ(layer.uiVideoFormat, 108);
  EXPECT_EQ(layer.sAspectRatioExtHeight, 117);
  EXPECT_EQ(layer.uiSliceMbNum[0], 1000);
  EXPECT_EQ(layer.uiSliceMbNum[34], 1034);
  EXPECT_EQ(jvm.CallsStartingWith("ReleaseIntArrayElements slices JNI_ABORT").size(), 1u);
}

TEST_F(ConfigIntake, LayerThreeTouchesOnlyItsOwnRecord) {
  ASSERT_EQ(SetLayer(LayerConfig(), 3), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(context()->layerConfig[i].uiProfileIdc, 0) << i;
  EXPECT_EQ(context()->layerConfig[3].uiProfileIdc, 101);
}

TEST_F(ConfigIntake, ACharAboveByteRangeIsStoredWhole) {
  fakejni::Class* layerClass = jvm.NewClass("Layer");
  for (const std::string& name : kLayerGetters) {
    if (name == "getSliceMBNum") {
      layerClass->Getter(name, "()[I", Value::Ref(jvm.NewIntArray(std::vector<jint>(35))));
    } else if (name == "getFrameRate") {
      layerClass->Getter(name, "()F", Value::Float(30));
    } else if (IsCharGetter(name)) {
      layerClass->Getter(name, "()C", Value::Char(0x105));
    } else {
      layerClass->Getter(name, "()I", Value::Int(2));
    }
  }
  SetLayer(reinterpret_cast<jobject>(jvm.NewObject(layerClass)), 0);
  EXPECT_EQ(context()->layerConfig[0].uiVideoFormat, 0x105);
  EXPECT_EQ(context()->layerConfig[0].bFullRange, 2);
}

TEST_F(ConfigIntake, LayerIndexOutsideTheFourSlotsReadsNothingAndStillAnswersZero) {
  jobject layer = LayerConfig();
  EXPECT_EQ(SetLayer(layer, 4), 0);
  EXPECT_EQ(SetLayer(layer, -1), 0);
  EXPECT_TRUE(GetterCalls(jvm).empty());
  EXPECT_EQ(jvm.debugMessages.size(), 2u);
}

TEST_F(ConfigIntake, MissingGetterStopsTheIntakeAndLeavesNoSuchMethodErrorForJava) {
  fakejni::Class* partial = jvm.NewClass("Partial");
  partial->Getter("getUsageType", "()I", Value::Int(1));
  partial->Getter("getRcMode", "()I", Value::Int(1));
  EXPECT_EQ(SetConfig(reinterpret_cast<jobject>(jvm.NewObject(partial))), -1);
  EXPECT_EQ(jvm.pendingException, "java/lang/NoSuchMethodError");
  EXPECT_EQ(GetterCalls(jvm),
            (std::vector<std::string>{"getUsageType", "getRcMode", "getMaxFrameRate"}));
}

TEST_F(ConfigIntake, ThrowingLayerGetterStopsBeforeTheSliceArray) {
  fakejni::Class* throwing = jvm.NewClass("Throwing");
  throwing->Getter("getFrameRate", "()F", Value::Throw());
  EXPECT_EQ(SetLayer(reinterpret_cast<jobject>(jvm.NewObject(throwing)), 0), -1);
  EXPECT_FALSE(jvm.pendingException.empty());
  EXPECT_EQ(GetterCalls(jvm), (std::vector<std::string>{"getFrameRate"}));
}

TEST_F(ConfigIntake, NullObjectOrZeroHandleReadsNothing) {
  EXPECT_EQ(SetConfig(nullptr), -1);
  EXPECT_EQ(SetLayer(nullptr, 0), -1);
  EXPECT_EQ(
      Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetConfig(env(), cls(), 0, BaseConfig()),
      -1);
  EXPECT_TRUE(jvm.calls.empty());
}

TEST_F(ConfigIntake, SetConfigRestoresTheComplexityModeAfterARuntimeChange) {
  Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderSetComplexityMode(env(), cls(), handle, 2);
  EXPECT_EQ(context()->config.iComplexityMode, 2);
  SetConfig(BaseConfig());
  EXPECT_EQ(context()->config.iComplexityMode, 4);
}

}  // namespace
}  // namespace encodertest
