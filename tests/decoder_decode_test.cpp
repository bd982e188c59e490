#include <string>
#include <vector>

#include "decoder/frame_decoding.h"
#include "image/conversion_codes.h"
#include "image/i420_to_rgb.h"
#include "tests/decoder_fixture.h"

namespace {

using decodertest::DecoderFixture;
using decodertest::JavaDecoderConfig;
using fakejni::ByteArray;
using fakejni::IntArray;
using fakejni::Value;
using testing::_;
using testing::AnyNumber;
using testing::DoAll;
using testing::InSequence;
using testing::Return;
using testing::SaveArgPointee;
using testing::SetArgPointee;
using testing::WithArgs;

// A picture as OpenH264 hands it out: three planes at their strides, each
// byte numbered so that a misplaced copy shows.
struct FakePicture {
  FakePicture(int width, int height, int lumaStride, int chromaStride)
      : width(width), height(height), lumaStride(lumaStride), chromaStride(chromaStride) {
    Fill(&y, lumaStride * height, 1);
    Fill(&u, chromaStride * (height / 2), 2);
    Fill(&v, chromaStride * (height / 2), 3);
  }
  static void Fill(std::vector<unsigned char>* plane, int size, int seed) {
    plane->resize(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) (*plane)[i] = static_cast<unsigned char>(i * 7 + seed * 50);
  }
  // What the returned array must hold: Y, U and V back to back.
  std::vector<jbyte> Expected() const {
    std::vector<jbyte> all(y.begin(), y.end());
    all.insert(all.end(), u.begin(), u.end());
    all.insert(all.end(), v.begin(), v.end());
    return all;
  }
  int width, height, lumaStride, chromaStride;
  std::vector<unsigned char> y, u, v;
};

// Decoder action: reports `state` and, with a picture, hands it out.
auto Report(DECODING_STATE state, FakePicture* picture = nullptr) {
  return [state, picture](unsigned char** planes, SBufferInfo* info) {
    if (picture != nullptr) {
      planes[0] = picture->y.data();
      planes[1] = picture->u.data();
      planes[2] = picture->v.data();
      info->iBufferStatus = 1;
      info->UsrData.sSystemBuffer.iWidth = picture->width;
      info->UsrData.sSystemBuffer.iHeight = picture->height;
      info->UsrData.sSystemBuffer.iFormat = 23;
      info->UsrData.sSystemBuffer.iStride[0] = picture->lumaStride;
      info->UsrData.sSystemBuffer.iStride[1] = picture->chromaStride;
    }
    return state;
  };
}

class DecoderDecodeTest : public DecoderFixture {
 protected:
  void SetUp() override {
    DecoderFixture::SetUp();
    EXPECT_CALL(openh264, DestroyDecoder(_)).Times(AnyNumber());
    handle = Create();
    bitstream = jvm.NewByteArray({0, 0, 0, 1, 0x65, 1, 2, 3, 4, 5}, "bitstream");
  }
  // A context whose decoder is already up.
  void Running() { context()->decoder = &openh264.decoder; }
  jlong NeedsKeyFrame() { return context()->needsKeyFrame; }
  // Expected decoding calls are answered in the order they were declared.
  void ExpectDecode(DECODING_STATE state, FakePicture* picture = nullptr) {
    EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(_, _, _, _))
        .InSequence(decodeOrder)
        .WillOnce(WithArgs<2, 3>(Report(state, picture)))
        .RetiresOnSaturation();
  }
  // Checks the expectations so far and starts afresh.
  void Checkpoint() {
    testing::Mock::VerifyAndClearExpectations(&openh264);
    testing::Mock::VerifyAndClearExpectations(&openh264.decoder);
    EXPECT_CALL(openh264, DestroyDecoder(_)).Times(AnyNumber());
  }
  jbyteArray DecodeBitstream(const OutArrays& out) { return Decode(bitstream, 10, out); }
  jbyteArray DecodeBitstream() { return Decode(bitstream, 10); }

  ByteArray* bitstream = nullptr;
  testing::Sequence decodeOrder;
};

TEST_F(DecoderDecodeTest, HandleZeroDoesNothing) {
  jlong live = handle;
  handle = 0;
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_TRUE(jvm.calls.empty());
  handle = live;
}

TEST_F(DecoderDecodeTest, FirstDecodeBringsTheDecoderUpOnceFromTheStoredConfiguration) {
  JavaDecoderConfig values;
  values.hasFileName = true;
  values.fileName = "r.yuv";
  values.cpuLoad = 2;
  values.targetDqLayer = 0x1FF;
  values.parseOnly = 2;
  DefineConfig(values);
  ASSERT_EQ(SetConfig(), 0);
  SDecodingParam first;
  {
    InSequence order;
    EXPECT_CALL(openh264, CreateDecoder(_));
    EXPECT_CALL(openh264.decoder, Initialize(_))
        .WillOnce(DoAll(SaveArgPointee<0>(&first), Return(0)));
    EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(_, 10, _, _)).Times(2);
  }
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_EQ(first.pFileNameRestructed, context()->decoderConfig.pFileNameRestructed);
  EXPECT_EQ(first.uiCpuLoad, 2u);
  EXPECT_EQ(first.uiTargetDqLayer, 255);
  EXPECT_TRUE(first.bParseOnly);
  EXPECT_EQ(first.sVideoProperty.size, 8u);
  EXPECT_TRUE(jvm.errorMessages.empty());
  Checkpoint();

  values.cpuLoad = 9;
  values.parseOnly = 0;
  DefineConfig(values);
  SDecodingParam second;
  {
    InSequence order;
    EXPECT_CALL(openh264.decoder, Uninitialize());
    EXPECT_CALL(openh264, DestroyDecoder(&openh264.decoder));
    EXPECT_CALL(openh264, CreateDecoder(_));
    EXPECT_CALL(openh264.decoder, Initialize(_))
        .WillOnce(DoAll(SaveArgPointee<0>(&second), Return(0)));
    EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(_, 10, _, _));
  }
  ASSERT_EQ(SetConfig(), 0);
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_EQ(second.uiCpuLoad, 9u);
  EXPECT_FALSE(second.bParseOnly);
  Checkpoint();
}

TEST_F(DecoderDecodeTest, FailedCreationReportsTouchesNothingAndIsRetried) {
  context()->needsKeyFrame = 7;
  EXPECT_CALL(openh264, CreateDecoder(_))
      .WillOnce(DoAll(SetArgPointee<0>(&openh264.decoder), Return(-5)))
      .WillOnce(Return(4660));
  OutArrays out = NewOutArrays();
  EXPECT_EQ(DecodeBitstream(out), nullptr);
  EXPECT_EQ(context()->decoder, nullptr) << "a failed creation leaves no decoder";
  EXPECT_EQ(DecodeBitstream(out), nullptr);
  EXPECT_EQ(jvm.errorMessages,
            (std::vector<std::string>{"openh264 decode: Could not create decoder. Error -5",
                                      "openh264 decode: Could not create decoder. Error 4660"}));
  EXPECT_EQ(bitstream->pins, 0);
  EXPECT_TRUE(Untouched(out));
  EXPECT_EQ(NeedsKeyFrame(), 7);
}

TEST_F(DecoderDecodeTest, CreationWithoutADecoderFailsTheConfigurationStep) {
  EXPECT_CALL(openh264, CreateDecoder(_)).WillOnce(DoAll(SetArgPointee<0>(nullptr), Return(0)));
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_EQ(jvm.errorMessages,
            (std::vector<std::string>{"openh264 decode: Decoder must be created before calling "
                                      "OpenH264TQDecoderUpdateCodecControl().",
                                      "openh264 decode: Could not configure decoder. Error -1"}));
  EXPECT_EQ(bitstream->pins, 0);
}

TEST_F(DecoderDecodeTest, FailedInitialisationKeepsTheDecoderWithoutRetryUntilSetConfig) {
  ASSERT_EQ(SetConfig(), 0);
  OutArrays out = NewOutArrays();
  EXPECT_CALL(openh264, CreateDecoder(_));
  EXPECT_CALL(openh264.decoder, Initialize(_)).WillOnce(Return(3));
  EXPECT_CALL(openh264.decoder, Uninitialize()).Times(0);
  EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(_, _, _, _)).Times(0);
  EXPECT_EQ(DecodeBitstream(out), nullptr);
  EXPECT_EQ(jvm.errorMessages,
            std::vector<std::string>{"openh264 decode: Could not initialize decoder. Error 3"});
  EXPECT_EQ(context()->decoder, &openh264.decoder);
  EXPECT_EQ(bitstream->pins, 0);
  EXPECT_TRUE(Untouched(out));
  EXPECT_EQ(NeedsKeyFrame(), 0);
  Checkpoint();

  // OpenH264 answers an uninitialised decoder with "initialise expected".
  ExpectDecode(dsInitialOptExpected);
  ExpectDecode(dsInitialOptExpected);
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_EQ(NeedsKeyFrame(), 1);
  EXPECT_EQ(jvm.errorMessages.size(), 1u) << "no second attempt, no second message";
  Checkpoint();

  {
    InSequence order;
    EXPECT_CALL(openh264.decoder, Uninitialize());
    EXPECT_CALL(openh264, DestroyDecoder(&openh264.decoder));
    EXPECT_CALL(openh264, CreateDecoder(_));
    EXPECT_CALL(openh264.decoder, Initialize(_)).WillOnce(Return(0));
    EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(_, _, _, _));
  }
  ASSERT_EQ(SetConfig(), 0);
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_EQ(NeedsKeyFrame(), 0);
  Checkpoint();
}

// Every JNI call of a Decode that returns a picture, in order: the out-arrays
// measured, the input pinned around the decoding call, the output array from
// AllocCallback, the geometry written, the output given back with copy-back.
const std::vector<std::string> kCallsForOneReturnedPicture = {
    "GetArrayLength outWidth",
    "GetArrayLength outHeight",
    "GetArrayLength outStrides",
    "GetArrayLength outPlaneSizes",
    "GetArrayLength outPlaneCount",
    "GetArrayLength bitstream",
    "IsSameObject bitstream null",
    "GetByteArrayElements bitstream",
    "ReleaseByteArrayElements bitstream JNI_ABORT",
    "GetStaticMethodID AllocCallback (I)[B",
    "CallStaticObjectMethod AllocCallback",
    "ExceptionCheck",
    "GetArrayLength allocated",
    "GetByteArrayElements allocated",
    "GetIntArrayElements outPlaneSizes",
    "ReleaseIntArrayElements outPlaneSizes 0",
    "GetIntArrayElements outWidth",
    "ReleaseIntArrayElements outWidth 0",
    "GetIntArrayElements outHeight",
    "ReleaseIntArrayElements outHeight 0",
    "GetIntArrayElements outPlaneCount",
    "ReleaseIntArrayElements outPlaneCount 0",
    "GetIntArrayElements outStrides",
    "ReleaseIntArrayElements outStrides 0",
    "ReleaseByteArrayElements allocated 0",
};

TEST_F(DecoderDecodeTest, PictureOf640x480WithStrides704And352) {
  Running();
  context()->needsKeyFrame = 1;
  FakePicture picture(640, 480, 704, 352);
  ExpectDecode(dsErrorFree, &picture);
  OutArrays out = NewOutArrays();
  jvm.calls.clear();
  jbyteArray result = DecodeBitstream(out);

  ASSERT_EQ(jvm.allocated.size(), 1u);
  EXPECT_EQ(result, Ref<jbyteArray>(jvm.allocated[0]));
  EXPECT_EQ(jvm.allocRequests, std::vector<jint>{506880});
  const std::vector<jbyte>& bytes = jvm.allocated[0]->elements;
  EXPECT_EQ(bytes, picture.Expected());
  EXPECT_EQ(bytes[337920], static_cast<jbyte>(picture.u[0]));
  EXPECT_EQ(bytes[422400], static_cast<jbyte>(picture.v[0]));
  EXPECT_EQ(out.planeSizes->elements, (std::vector<jint>{337920, 84480, 84480}));
  EXPECT_EQ(out.strides->elements, (std::vector<jint>{704, 352, 352}));
  EXPECT_EQ(out.width->elements, std::vector<jint>{640});
  EXPECT_EQ(out.height->elements, std::vector<jint>{480});
  EXPECT_EQ(out.planeCount->elements, std::vector<jint>{3});
  EXPECT_EQ(NeedsKeyFrame(), 0);

  EXPECT_EQ(jvm.calls, kCallsForOneReturnedPicture);
}

TEST_F(DecoderDecodeTest, OddHeightGivesChromaPlanesOfHalfTheRowsRoundedDown) {
  Running();
  FakePicture picture(6, 3, 8, 4);
  ExpectDecode(dsErrorFree, &picture);
  OutArrays out = NewOutArrays();
  ASSERT_NE(DecodeBitstream(out), nullptr);
  EXPECT_EQ(jvm.allocRequests, std::vector<jint>{32});
  EXPECT_EQ(out.planeSizes->elements, (std::vector<jint>{24, 4, 4}));
  EXPECT_EQ(jvm.allocated[0]->elements, picture.Expected());
}

TEST_F(DecoderDecodeTest, NonZeroStateRaisesTheKeyFrameRequestWithOrWithoutAPicture) {
  Running();
  FakePicture picture(16, 16, 32, 16);
  ExpectDecode(dsDataErrorConcealed, &picture);
  ExpectDecode(dsBitstreamError);
  ExpectDecode(dsErrorFree);
  OutArrays out = NewOutArrays();

  EXPECT_EQ(DecodeBitstream(out), nullptr) << "a concealed picture is still a failure";
  EXPECT_EQ(NeedsKeyFrame(), 1);
  context()->needsKeyFrame = 0;
  EXPECT_EQ(DecodeBitstream(out), nullptr);
  EXPECT_EQ(NeedsKeyFrame(), 1);
  EXPECT_TRUE(jvm.allocRequests.empty());
  EXPECT_TRUE(Untouched(out));

  EXPECT_EQ(DecodeBitstream(out), nullptr) << "state 0 without a picture";
  EXPECT_EQ(NeedsKeyFrame(), 0);
  EXPECT_TRUE(Untouched(out));
  EXPECT_TRUE(jvm.debugMessages.empty() && jvm.errorMessages.empty()) << "outcomes are silent";
}

TEST_F(DecoderDecodeTest, BitstreamLengthNeverReachesPastTheArray) {
  Running();
  std::vector<int> lengths;
  std::vector<std::vector<unsigned char>> received;
  EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(_, _, _, _))
      .WillRepeatedly([&](const unsigned char* source, int length, unsigned char**, SBufferInfo*) {
        lengths.push_back(length);
        received.emplace_back(source, source + length);
        return dsErrorFree;
      });
  Decode(bitstream, -5);
  Decode(bitstream, 4);
  Decode(bitstream, 10);
  Decode(bitstream, 1000);
  Decode(jvm.NewByteArray({}, "empty"), 5);
  EXPECT_EQ(lengths, (std::vector<int>{0, 4, 10, 10, 0}));
  std::vector<unsigned char> all(bitstream->elements.begin(), bitstream->elements.end());
  EXPECT_EQ(received[1], std::vector<unsigned char>(all.begin(), all.begin() + 4));
  EXPECT_EQ(received[3], all);
  EXPECT_EQ(bitstream->releaseModes, std::vector<jint>(4, JNI_ABORT));
}

TEST_F(DecoderDecodeTest, NullBitstreamMakesNoArrayCallAndReachesTheDecoderAsNull) {
  Running();
  EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(nullptr, 0, _, _)).WillOnce(Return(dsErrorFree));
  jvm.calls.clear();
  EXPECT_EQ(Decode(nullptr, 100), nullptr);
  std::vector<std::string> expected = {
      "GetArrayLength outWidth",      "GetArrayLength outHeight",     "GetArrayLength outStrides",
      "GetArrayLength outPlaneSizes", "GetArrayLength outPlaneCount", "IsSameObject null null",
  };
  EXPECT_EQ(jvm.calls, expected);
}

TEST_F(DecoderDecodeTest, EndOfStreamDrainsAHeldPictureThroughFlushFrame) {
  Running();
  context()->needsKeyFrame = 1;
  FakePicture held(640, 360, 704, 352);
  {
    InSequence order;
    EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(nullptr, 0, _, _))
        .WillOnce(Return(dsErrorFree));
    EXPECT_CALL(openh264.decoder, FlushFrame(_, _)).WillOnce(Report(dsErrorFree, &held));
  }
  OutArrays out = NewOutArrays();
  jbyteArray result = Decode(nullptr, 0, out);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(jvm.allocated[0]->elements, held.Expected());
  EXPECT_EQ(out.planeSizes->elements, (std::vector<jint>{704 * 360, 352 * 180, 352 * 180}));
  EXPECT_EQ(out.width->elements, std::vector<jint>{640});
  EXPECT_EQ(out.height->elements, std::vector<jint>{360});
  EXPECT_EQ(out.strides->elements, (std::vector<jint>{704, 352, 352}));
  EXPECT_EQ(out.planeCount->elements, std::vector<jint>{3});
  EXPECT_EQ(NeedsKeyFrame(), 0);
}

TEST_F(DecoderDecodeTest, DrainFollowsTheKeyFrameRuleAndEndsWithNull) {
  Running();
  FakePicture held(16, 16, 32, 16);
  EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(nullptr, 0, _, _))
      .WillOnce(Return(dsBitstreamError))
      .WillOnce(Return(dsErrorFree))
      .WillOnce(Return(dsErrorFree));
  EXPECT_CALL(openh264.decoder, FlushFrame(_, _))
      .WillOnce(Report(dsErrorFree, &held))
      .WillOnce(Report(dsBitstreamError))
      .WillOnce(Report(dsErrorFree));
  EXPECT_NE(Decode(nullptr, 0), nullptr) << "the held picture survives a failed last call";
  EXPECT_EQ(NeedsKeyFrame(), 0);
  EXPECT_EQ(Decode(nullptr, 0), nullptr);
  EXPECT_EQ(NeedsKeyFrame(), 1);
  EXPECT_EQ(Decode(nullptr, 0), nullptr) << "nothing more is held";
  EXPECT_EQ(NeedsKeyFrame(), 0);
}

TEST_F(DecoderDecodeTest, FlushFrameIsAskedOnlyAtEndOfStreamWhenNoPictureCameOut) {
  Running();
  FakePicture picture(16, 16, 32, 16);
  EXPECT_CALL(openh264.decoder, FlushFrame(_, _)).Times(0);
  ExpectDecode(dsErrorFree);
  EXPECT_EQ(DecodeBitstream(), nullptr) << "calls with data are unchanged";
  ExpectDecode(dsErrorFree, &picture);
  EXPECT_NE(Decode(nullptr, 0), nullptr);
  EXPECT_EQ(jvm.allocated.size(), 1u);
}

// FlushFrame came with 2.0.0; in 1.x's virtual table its slot holds
// DecodeParser, so 1.x must never be asked for it.
TEST_F(DecoderDecodeTest, EndOfStreamAsksForAHeldPictureOnlyFromReleasesThatHaveFlushFrame) {
  const struct {
    unsigned major, minor;
    bool flushes;
  } releases[] = {{1, 7, false}, {1, 8, false}, {2, 0, true}, {2, 3, true}, {2, 6, true}};
  for (const auto& release : releases) {
    SCOPED_TRACE(testing::Message() << release.major << "." << release.minor);
    openh264.BindAs(release.major, release.minor, 0);
    Running();
    FakePicture held(16, 16, 32, 16);
    EXPECT_CALL(openh264.decoder, DecodeFrameNoDelay(nullptr, 0, _, _))
        .WillOnce(Return(dsErrorFree));
    if (release.flushes) {
      EXPECT_CALL(openh264.decoder, FlushFrame(_, _)).WillOnce(Report(dsErrorFree, &held));
    } else {
      EXPECT_CALL(openh264.decoder, FlushFrame(_, _)).Times(0);
    }
    EXPECT_EQ(Decode(nullptr, 0) != nullptr, release.flushes);
    EXPECT_EQ(NeedsKeyFrame(), 0);
    testing::Mock::VerifyAndClearExpectations(&openh264.decoder);
  }
}

// Which out-array is unusable, and how.
struct BadOutArray {
  int index;
  bool null;
};

class DecoderOutArrayTest : public DecoderDecodeTest,
                            public testing::WithParamInterface<BadOutArray> {};

TEST_P(DecoderOutArrayTest, NullOrShortOutArrayStopsTheCallBeforeAnythingHappens) {
  context()->needsKeyFrame = 5;
  OutArrays out = NewOutArrays();
  IntArray** arrays[] = {&out.width, &out.height, &out.strides, &out.planeSizes, &out.planeCount};
  IntArray*& bad = *arrays[GetParam().index];
  if (GetParam().null) {
    bad = nullptr;
  } else {
    bad = jvm.NewIntArray(std::vector<jint>(bad->elements.size() - 1), "short");
  }
  // No bring-up, no decoding (the strict fake refuses any codec call).
  EXPECT_EQ(DecodeBitstream(out), nullptr);
  EXPECT_TRUE(Untouched(out));
  EXPECT_EQ(bitstream->pins, 0);
  EXPECT_TRUE(jvm.allocRequests.empty());
  EXPECT_EQ(NeedsKeyFrame(), 5);
}

INSTANTIATE_TEST_SUITE_P(EachOutArray, DecoderOutArrayTest,
                         testing::Values(BadOutArray{0, true}, BadOutArray{1, true},
                                         BadOutArray{2, true}, BadOutArray{3, true},
                                         BadOutArray{4, true}, BadOutArray{0, false},
                                         BadOutArray{1, false}, BadOutArray{2, false},
                                         BadOutArray{3, false}, BadOutArray{4, false}));

TEST_F(DecoderDecodeTest, LongerOutArraysKeepTheirOtherElements) {
  Running();
  FakePicture picture(16, 16, 32, 16);
  ExpectDecode(dsErrorFree, &picture);
  OutArrays out = NewOutArrays();
  out.strides = jvm.NewIntArray({-1, -1, -1, 42}, "outStrides");
  ASSERT_NE(DecodeBitstream(out), nullptr);
  EXPECT_EQ(out.strides->elements, (std::vector<jint>{32, 16, 16, 42}));
}

class DecoderAllocTest : public DecoderDecodeTest {
 protected:
  void AllocReturns(Value value) {
    jvm.native()->Define("AllocCallback", "(I)[B", true,
                         [value](fakejni::Object*, const std::vector<Value>&) { return value; });
  }
  // Decodes a picture and checks that nothing reached the out-arrays.
  void ExpectNoPictureWritten() {
    Running();
    FakePicture picture(16, 16, 32, 16);
    ExpectDecode(dsErrorFree, &picture);
    OutArrays out = NewOutArrays();
    EXPECT_EQ(DecodeBitstream(out), nullptr);
    EXPECT_TRUE(Untouched(out));
    EXPECT_EQ(NeedsKeyFrame(), 0) << "the decoding itself went well";
  }
};

TEST_F(DecoderAllocTest, NullArrayFromAllocCallbackGivesNull) {
  AllocReturns(Value());
  ExpectNoPictureWritten();
}

TEST_F(DecoderAllocTest, ShortArrayFromAllocCallbackIsNeverWritten) {
  ByteArray* tooShort = jvm.NewByteArray(std::vector<jbyte>(767), "short");
  AllocReturns(Value::Ref(tooShort));
  ExpectNoPictureWritten();
  EXPECT_EQ(tooShort->pins, 0);
}

TEST_F(DecoderAllocTest, ThrowingAllocCallbackLeavesItsExceptionAndMakesNoFurtherCall) {
  AllocReturns(Value::Throw());
  ExpectNoPictureWritten();
  EXPECT_EQ(jvm.pendingException, "java/lang/RuntimeException");
  size_t thrown = static_cast<size_t>(jvm.IndexOfCall("CallStaticObjectMethod AllocCallback"));
  ASSERT_LT(thrown, jvm.calls.size());
  std::vector<std::string> after(jvm.calls.begin() + thrown + 1, jvm.calls.end());
  EXPECT_EQ(after, std::vector<std::string>{"ExceptionCheck"});
}

TEST_F(DecoderDecodeTest, ImpossibleGeometryIsNotCopied) {
  Running();
  FakePicture picture(16, 16, 32, 16);
  picture.lumaStride = -32;
  ExpectDecode(dsErrorFree, &picture);
  EXPECT_EQ(DecodeBitstream(), nullptr);
  EXPECT_TRUE(jvm.allocRequests.empty());
}

}  // namespace

// DecodeToRgb: a picture that fits goes into the pixels, converted as the
// reference does from OpenH264's planes, with no array allocated and a plane
// count of 0; one that does not fit comes back as planes; bad pixel arguments
// stop the call before OpenH264 sees anything.
TEST_F(DecoderDecodeTest, DecodeToRgbConvertsWhatFitsAndReturnsPlanesOtherwise) {
  struct Row {
    const char* what;
    int width, height;
    jint arrayInts, offset, stride, matrix, fullRange;
    enum { kConverted, kPlanes, kRefused } outcome;
  };
  const Row rows[] = {
      {"exact fit", 6, 4, 24, 0, 6, tq::kMatrixBt601, 0, Row::kConverted},
      {"offset and wider stride", 6, 4, 30, 2, 7, tq::kMatrixBt709, 1, Row::kConverted},
      {"one int short", 6, 4, 23, 0, 6, tq::kMatrixBt601, 0, Row::kPlanes},
      {"stride below the width", 6, 4, 100, 0, 5, tq::kMatrixBt601, 0, Row::kPlanes},
      {"odd size: one chroma row for three rows", 5, 3, 100, 0, 5, tq::kMatrixBt601, 0,
       Row::kPlanes},
      {"unknown matrix", 6, 4, 24, 0, 6, 5, 0, Row::kRefused},
      {"range neither 0 nor 1", 6, 4, 24, 0, 6, tq::kMatrixBt601, 2, Row::kRefused},
      {"negative offset", 6, 4, 24, -1, 6, tq::kMatrixBt601, 0, Row::kRefused},
      {"stride 0", 6, 4, 24, 0, 0, tq::kMatrixBt601, 0, Row::kRefused},
      {"no array", 6, 4, -1, 0, 6, tq::kMatrixBt601, 0, Row::kRefused},
  };
  Running();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakePicture picture(row.width, row.height, 8, 4);  // padded strides
    if (row.outcome != Row::kRefused) ExpectDecode(dsErrorFree, &picture);
    IntArray* rgb =
        row.arrayInts < 0 ? nullptr : jvm.NewIntArray(std::vector<jint>(row.arrayInts, -1), "rgb");
    OutArrays out = NewOutArrays();
    size_t allocatedBefore = jvm.allocated.size();
    jbyteArray planes = Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDecodeToRgb(
        env(), cls(), handle, Ref<jbyteArray>(bitstream), 10, Ref<jintArray>(out.width),
        Ref<jintArray>(out.height), Ref<jintArray>(out.strides), Ref<jintArray>(out.planeSizes),
        Ref<jintArray>(out.planeCount), Ref<jintArray>(rgb), row.offset, row.stride, row.matrix,
        row.fullRange);
    Checkpoint();
    if (row.outcome == Row::kConverted) {
      EXPECT_EQ(planes, nullptr);
      EXPECT_EQ(jvm.allocated.size(), allocatedBefore);
      std::vector<uint32_t> expected(static_cast<size_t>(row.arrayInts), 0xFFFFFFFF);
      I420Source source = {picture.y.data(), picture.u.data(), picture.v.data(), 8, 4, 6, 4};
      RgbTarget target = {expected.data() + row.offset, row.stride};
      ConvertI420ToRgbReference(&source, row.matrix, row.fullRange, &target);
      EXPECT_EQ(rgb->elements, std::vector<jint>(expected.begin(), expected.end()));
      EXPECT_EQ(rgb->releaseModes, std::vector<jint>{0});
      EXPECT_EQ(out.width->elements, std::vector<jint>{6});
      EXPECT_EQ(out.height->elements, std::vector<jint>{4});
      EXPECT_EQ(out.planeCount->elements, std::vector<jint>{0});
    } else if (row.outcome == Row::kPlanes) {
      ASSERT_EQ(jvm.allocated.size(), allocatedBefore + 1);
      EXPECT_EQ(planes, Ref<jbyteArray>(jvm.allocated.back()));
      EXPECT_EQ(jvm.allocated.back()->elements, picture.Expected());
      EXPECT_EQ(out.planeCount->elements, std::vector<jint>{3});
      EXPECT_EQ(rgb->elements, std::vector<jint>(static_cast<size_t>(row.arrayInts), -1));
    } else {
      EXPECT_EQ(planes, nullptr);
      EXPECT_TRUE(Untouched(out));
      EXPECT_EQ(out.planeCount->elements, std::vector<jint>{-1});
    }
  }
}
