#include "decoder/decoder_context.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstring>

#include "tests/decoder_fixture.h"

namespace {

using decodertest::DecoderFixture;
using decodertest::JavaDecoderConfig;
using testing::_;
using testing::InSequence;
using testing::Return;

const char kSettingConfig[] = "openh264 decode: OpenH264 native decoder setting config.";

#if defined(__GLIBC__)
// Bytes the C heap has handed out and not taken back.
size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}
#endif

class DecoderContextTest : public DecoderFixture {};

TEST_F(DecoderContextTest, CreateMakesNoCallAndStartsFromDefinedValues) {
  handle = Create();
  ASSERT_NE(handle, 0);
  EXPECT_TRUE(jvm.calls.empty()) << "no message, no JNI call";
  DecoderContext* c = context();
  EXPECT_EQ(c->decoder, nullptr);
  EXPECT_EQ(c->needsKeyFrame, 0);
  EXPECT_EQ(c->allocCallbackRef, Ref<jobject>(&allocMarker));
  EXPECT_EQ(c->returnCallbackRef, Ref<jobject>(&returnMarker));
  EXPECT_EQ(c->errorChannel, 'E');
  EXPECT_EQ(c->debugChannel, 'D');
  DecoderConfig zero;
  memset(&zero, 0, sizeof zero);
  EXPECT_EQ(memcmp(&c->decoderConfig, &zero, sizeof zero), 0);
}

TEST_F(DecoderContextTest, DestroyReleasesTheRunningDecoderAndIgnoresHandleZero) {
  Destroy(0);
  EXPECT_TRUE(jvm.calls.empty());

  handle = Create();
  context()->decoder = &openh264.decoder;
  {
    InSequence order;
    EXPECT_CALL(openh264.decoder, Uninitialize()).WillOnce(Return(5));
    EXPECT_CALL(openh264, DestroyDecoder(&openh264.decoder));
  }
  Destroy(handle);
  EXPECT_TRUE(jvm.calls.empty());
}

#if defined(__GLIBC__)
TEST_F(DecoderContextTest, DestroyedContextsLeaveNothingOnTheHeap) {
  JavaDecoderConfig values;
  values.hasFileName = true;
  values.fileName.assign(64 * 1024, 'n');
  DefineConfig(values);
  size_t before = HeapInUse();
  for (int i = 0; i < 40; ++i) {
    handle = Create();
    ASSERT_EQ(SetConfig(), 0);
    Destroy(handle);
  }
  handle = Create();
  for (int i = 0; i < 40; ++i) ASSERT_EQ(SetConfig(), 0);
  Destroy(handle);
  for (int i = 0; i < 20000; ++i) Destroy(Create());
  jvm.calls.clear();
  jvm.calls.shrink_to_fit();
  // 40 names of 64 KiB, or 20000 records, would show as megabytes.
  EXPECT_LT(HeapInUse(), before + 512 * 1024);
}
#endif

TEST_F(DecoderContextTest, SetConfigSendsItsMessageThenReadsTheSevenGettersInOrder) {
  handle = Create();
  ASSERT_EQ(SetConfig(), 0);
  EXPECT_EQ(jvm.debugMessages, std::vector<std::string>{kSettingConfig});
  EXPECT_TRUE(jvm.errorMessages.empty());
  std::vector<std::string> lookups = {
      "GetMethodID getFileNameRestructed ()Ljava/lang/String;",
      "GetMethodID getCpuLoad ()I",
      "GetMethodID getTargetDqLayer ()C",
      "GetMethodID getEcActiveIdc ()I",
      "GetMethodID getParseOnly ()I",
      "GetMethodID getVideoSize ()I",
      "GetMethodID getVideoBsType ()I",
  };
  EXPECT_EQ(jvm.CallsStartingWith("GetMethodID"), lookups);
  EXPECT_EQ(jvm.CallsStartingWith("GetObjectClass config").size(), 7u) << "no cached class";
  EXPECT_LT(jvm.IndexOfCall("CallStaticVoidMethod DebugCallback"),
            jvm.IndexOfCall("GetObjectClass config"));
}

TEST_F(DecoderContextTest, SetConfigStoresEveryValueUnchangedAndDropsTheRunningDecoder) {
  JavaDecoderConfig values;
  values.hasFileName = true;
  values.fileName = "recon.yuv";
  values.cpuLoad = -3;
  values.targetDqLayer = 0x1FF;
  values.ecActiveIdc = 100;
  values.parseOnly = 2;
  values.videoSize = 12;
  values.videoBsType = -1;
  DefineConfig(values);
  handle = Create();
  context()->decoder = &openh264.decoder;
  context()->needsKeyFrame = 1;
  {
    InSequence order;
    EXPECT_CALL(openh264.decoder, Uninitialize()).WillOnce(Return(0));
    EXPECT_CALL(openh264, DestroyDecoder(&openh264.decoder));
  }
  ASSERT_EQ(SetConfig(), 0);
  const DecoderConfig& stored = context()->decoderConfig;
  EXPECT_STREQ(stored.pFileNameRestructed, "recon.yuv");
  EXPECT_EQ(stored.uiCpuLoad, -3);
  EXPECT_EQ(stored.uiTargetDqLayer, 0x1FF);
  EXPECT_EQ(stored.eEcActiveIdc, 100);
  EXPECT_EQ(stored.bParseOnly, 2);
  EXPECT_EQ(stored.uiVideoPropertySize, 12);
  EXPECT_EQ(stored.eVideoBsType, -1);
  EXPECT_EQ(context()->decoder, nullptr);
  EXPECT_EQ(context()->needsKeyFrame, 1) << "SetConfig leaves the key-frame request alone";
}

TEST_F(DecoderContextTest, SetConfigTwiceReplacesTheFileNameAndNullOrEmptyNamesKeepTheirMeaning) {
  handle = Create();
  JavaDecoderConfig values;
  values.hasFileName = true;
  values.fileName = "first.yuv";
  DefineConfig(values);
  ASSERT_EQ(SetConfig(), 0);
  values.fileName = "second.yuv";
  DefineConfig(values);
  ASSERT_EQ(SetConfig(), 0);
  EXPECT_STREQ(context()->decoderConfig.pFileNameRestructed, "second.yuv");

  values.fileName = "";
  DefineConfig(values);
  ASSERT_EQ(SetConfig(), 0);
  ASSERT_NE(context()->decoderConfig.pFileNameRestructed, nullptr);
  EXPECT_STREQ(context()->decoderConfig.pFileNameRestructed, "");

  values.hasFileName = false;
  DefineConfig(values);
  ASSERT_EQ(SetConfig(), 0);
  EXPECT_EQ(context()->decoderConfig.pFileNameRestructed, nullptr);
  EXPECT_EQ(jvm.CallsStartingWith("GetStringUTFChars").size(), 3u) << "a null string is not read";
}

TEST_F(DecoderContextTest, SetConfigWithoutHandleOrObjectReturnsMinusOneAndChangesNothing) {
  EXPECT_EQ(SetConfig(), -1) << "handle 0";
  EXPECT_TRUE(jvm.calls.empty());

  handle = Create();
  context()->decoder = &openh264.decoder;
  context()->decoderConfig.uiCpuLoad = 9;
  EXPECT_EQ(SetConfig(nullptr), -1);
  EXPECT_TRUE(jvm.calls.empty()) << "no message, nothing read";
  EXPECT_EQ(context()->decoder, &openh264.decoder);
  EXPECT_EQ(context()->decoderConfig.uiCpuLoad, 9);
  context()->decoder = nullptr;
}

TEST_F(DecoderContextTest, GetterThatThrowsStopsTheReadingAndKeepsTheStoredConfiguration) {
  JavaDecoderConfig values;
  values.hasFileName = true;
  values.fileName = "kept.yuv";
  values.cpuLoad = 4;
  DefineConfig(values);
  handle = Create();
  ASSERT_EQ(SetConfig(), 0);
  context()->decoder = &openh264.decoder;

  JavaDecoderConfig next;
  next.hasFileName = true;
  next.fileName = "lost.yuv";
  next.cpuLoad = 77;
  DefineConfig(next);
  configClass->Getter("getEcActiveIdc", "()I", fakejni::Value::Throw());
  jvm.calls.clear();
  EXPECT_EQ(SetConfig(), -1);
  EXPECT_EQ(jvm.pendingException, "java/lang/RuntimeException") << "left for the Java caller";
  std::vector<std::string> calls = jvm.calls;
  size_t thrown = static_cast<size_t>(jvm.IndexOfCall("CallIntMethod getEcActiveIdc"));
  ASSERT_LT(thrown, calls.size());
  for (size_t i = thrown + 1; i < calls.size(); ++i) EXPECT_EQ(calls[i], "ExceptionCheck");
  EXPECT_STREQ(context()->decoderConfig.pFileNameRestructed, "kept.yuv");
  EXPECT_EQ(context()->decoderConfig.uiCpuLoad, 4);
  EXPECT_EQ(context()->decoder, &openh264.decoder) << "the running decoder stays";
  context()->decoder = nullptr;
}

TEST_F(DecoderContextTest, MissingGetterFailsWithItsNoSuchMethodErrorPending) {
  handle = Create();
  configClass->Remove("getVideoBsType", "()I");
  EXPECT_EQ(SetConfig(), -1);
  EXPECT_EQ(jvm.pendingException, "java/lang/NoSuchMethodError");
  EXPECT_TRUE(jvm.CallsStartingWith("CallIntMethod getVideoBsType").empty());
  EXPECT_EQ(context()->decoderConfig.uiVideoPropertySize, 0) << "nothing stored";
}

TEST_F(DecoderContextTest, NeedsKeyFrameKeepsAll64BitsAndHandleZeroIsHarmless) {
  handle = Create();
  auto get = Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderGetNeedsKeyFrame;
  auto set = Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetNeedsKeyFrame;
  EXPECT_EQ(get(env(), cls(), handle), 0);
  set(env(), cls(), handle, 7);
  EXPECT_EQ(get(env(), cls(), handle), 7);
  set(env(), cls(), handle, INT64_MIN + 5);
  EXPECT_EQ(get(env(), cls(), handle), INT64_MIN + 5);
  set(env(), cls(), 0, 3);
  EXPECT_EQ(get(env(), cls(), 0), 0);
  EXPECT_TRUE(jvm.calls.empty());
}

class UpdateCodecConfigTest : public DecoderFixture {
 protected:
  SDecodingParam Filled(const JavaDecoderConfig& values) {
    DefineConfig(values);
    EXPECT_EQ(SetConfig(), 0);
    context()->decoder = &openh264.decoder;
    SDecodingParam param;
    memset(&param, 0xAB, sizeof param);
    EXPECT_EQ(OpenH264TQDecoderUpdateCodecConfig(env(), cls(), context(), &param), 0);
    context()->decoder = nullptr;
    return param;
  }
};

TEST_F(UpdateCodecConfigTest, WithoutDecoderReportsAndLeavesTheParametersAlone) {
  handle = Create();
  SDecodingParam param;
  memset(&param, 0xAB, sizeof param);
  SDecodingParam before = param;
  EXPECT_EQ(OpenH264TQDecoderUpdateCodecConfig(env(), cls(), context(), &param), -1);
  EXPECT_EQ(memcmp(&param, &before, sizeof param), 0);
  EXPECT_EQ(jvm.errorMessages,
            std::vector<std::string>{"openh264 decode: Decoder must be created before calling "
                                     "OpenH264TQDecoderUpdateCodecControl()."});
}

TEST_F(UpdateCodecConfigTest, NarrowsTheLayerAndParseOnlyAndLendsTheFileName) {
  handle = Create();
  JavaDecoderConfig values;
  values.hasFileName = true;
  values.fileName = "r.yuv";
  values.cpuLoad = 50;
  values.targetDqLayer = 0x1FF;
  values.ecActiveIdc = 6;
  values.parseOnly = 2;
  values.videoSize = 8;
  values.videoBsType = 0;
  SDecodingParam param = Filled(values);
  EXPECT_EQ(param.pFileNameRestructed, context()->decoderConfig.pFileNameRestructed);
  EXPECT_EQ(param.uiCpuLoad, 50u);
  EXPECT_EQ(param.uiTargetDqLayer, 255);
  EXPECT_EQ(static_cast<int>(param.eEcActiveIdc), 6);
  EXPECT_TRUE(param.bParseOnly);
  EXPECT_EQ(param.sVideoProperty.size, 8u);
  EXPECT_EQ(static_cast<int>(param.sVideoProperty.eVideoBsType), 0);
  EXPECT_TRUE(jvm.errorMessages.empty()) << "a successful fill sends nothing";

  values.targetDqLayer = 0x100;
  values.parseOnly = 0;
  values.ecActiveIdc = 1234;
  param = Filled(values);
  EXPECT_EQ(param.uiTargetDqLayer, 0);
  EXPECT_FALSE(param.bParseOnly);
  int ec = 0;
  memcpy(&ec, &param.eEcActiveIdc, sizeof ec);
  EXPECT_EQ(ec, 1234) << "values are passed on for OpenH264 to judge";
}

}  // namespace
