#include "encoder/frame_encoding.h"

#include <string>
#include <vector>

#include "image/conversion_codes.h"
#include "image/rgb_to_i420.h"
#include "tests/encoder_fixture.h"

namespace encodertest {
namespace {

using testing::_;
using testing::Expectation;
using testing::InSequence;
using testing::Invoke;
using testing::Return;

const char kInitializing[] = "openh264 encode: Initializing encoder.";

class FrameEncoding : public EncoderTest {
 protected:
  void SetUp() override {
    ProduceFrame(videoFrameTypeP, {{4, 3}});
    // Calls that no sequence of a test claims, such as the teardown's.
    EXPECT_CALL(openh264, CreateEncoder(_)).Times(testing::AnyNumber());
    EXPECT_CALL(openh264, DestroyEncoder(_)).Times(testing::AnyNumber());
    EXPECT_CALL(openh264.encoder, Uninitialize()).Times(testing::AnyNumber());
  }
  std::vector<jbyte> Bytes(jbyteArray array) {
    return reinterpret_cast<fakejni::ByteArray*>(array)->elements;
  }
};

TEST_F(FrameEncoding, FirstPictureBuildsTheEncoderAndIsForcedToIdr) {
  Picture picture = MakePicture(32, 16);
  {
    InSequence order;
    EXPECT_CALL(openh264, CreateEncoder(_));
    EXPECT_CALL(openh264.encoder, GetDefaultParams(_));
    EXPECT_CALL(openh264.encoder, InitializeExt(_)).WillOnce(Return(0));
    EXPECT_CALL(openh264.encoder, SetOption(ENCODER_OPTION_DATAFORMAT, _))
        .WillOnce(Invoke([](ENCODER_OPTION, void* value) {
          EXPECT_EQ(*static_cast<int*>(value), videoFormatI420);
          return 0;
        }));
    EXPECT_CALL(openh264.encoder, ForceIntraFrame(true, _));
    EXPECT_CALL(openh264.encoder, EncodeFrame(_, _));
  }
  jbyteArray output = Encode(picture, 32, 16);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(Bytes(output), (std::vector<jbyte>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(picture.outFrameSize->elements, (std::vector<jint>{7, -2}));
  EXPECT_EQ(jvm.debugMessages, (std::vector<std::string>{kInitializing}));
  EXPECT_EQ(context()->forceKeyFrame, 0);
  EXPECT_EQ(context()->width, 32);
  EXPECT_EQ(context()->height, 16);
}

// SFrameBSInfo as the releases before 2.6.0 lay it out: their layer record
// ends at pBsBuf (2.6.0 appends rPsnr[3]), so every later layer and the
// members after the array sit elsewhere.
struct LayerBefore26 {
  unsigned char uiTemporalId, uiSpatialId, uiQualityId;
  EVideoFrameType eFrameType;
  unsigned char uiLayerType;
  int iSubSeqId;
  int iNalCount;
  int* pNalLengthInByte;
  unsigned char* pBsBuf;
};
struct FrameBefore26 {
  int iLayerNum;
  LayerBefore26 sLayerInfo[MAX_LAYER_NUM_OF_FRAME];
  EVideoFrameType eFrameType;
  int iFrameSizeInBytes;
  long long uiTimeStamp;
};

template <typename Frame>
void WriteTwoLayers(Frame* frame, std::vector<std::vector<int>>& lengths,
                    std::vector<std::vector<unsigned char>>& bytes) {
  frame->iLayerNum = 2;
  for (int i = 0; i < 2; ++i) {
    frame->sLayerInfo[i].iNalCount = static_cast<int>(lengths[i].size());
    frame->sLayerInfo[i].pNalLengthInByte = lengths[i].data();
    frame->sLayerInfo[i].pBsBuf = bytes[i].data();
  }
  frame->eFrameType = videoFrameTypeP;
  frame->iFrameSizeInBytes = 6;
}

TEST_F(FrameEncoding, LayersAreReadInTheLayoutOfTheRunningRelease) {
  const struct {
    unsigned major, minor, revision;
  } releases[] = {{1, 7, 0}, {2, 3, 1}, {2, 5, 0}, {2, 6, 0}};
  std::vector<std::vector<int>> lengths = {{2, 1}, {3}};
  std::vector<std::vector<unsigned char>> bytes = {{1, 2, 3}, {4, 5, 6}};
  for (const auto& release : releases) {
    SCOPED_TRACE(testing::Message() << release.major << "." << release.minor);
    openh264.BindAs(release.major, release.minor, release.revision);
    bool before26 = release.major == 1 || release.minor < 6;
    EXPECT_CALL(openh264.encoder, EncodeFrame(_, _))
        .WillOnce(Invoke([&](const SSourcePicture*, SFrameBSInfo* info) {
          if (before26) {
            WriteTwoLayers(reinterpret_cast<FrameBefore26*>(info), lengths, bytes);
          } else {
            WriteTwoLayers(info, lengths, bytes);
          }
          return 0;
        }));
    Picture picture = MakePicture(32, 16);
    jbyteArray output = Encode(picture, 32, 16);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(Bytes(output), (std::vector<jbyte>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(picture.outFrameSize->elements[0], 6);
  }
}

TEST_F(FrameEncoding, SourcePictureDescribesThePinnedPlanesAtTheirOffsets) {
  Picture picture = MakePicture(32, 16);
  auto* offsets = reinterpret_cast<fakejni::IntArray*>(picture.offsets);
  auto* strides = reinterpret_cast<fakejni::IntArray*>(picture.strides);
  auto* planes = reinterpret_cast<fakejni::ObjectArray*>(picture.planes);
  // Y at offset 5 with stride 40; U and V at offset 1 and 2.
  auto* y = jvm.NewByteArray(std::vector<jbyte>(5 + 40 * 16, 0), "y");
  y->elements[5] = 77;
  planes->elements[0] = y;
  auto* u = static_cast<fakejni::ByteArray*>(planes->elements[1]);
  u->elements.insert(u->elements.begin(), 66);
  auto* v = static_cast<fakejni::ByteArray*>(planes->elements[2]);
  v->elements.insert(v->elements.begin(), {0, 55});
  offsets->elements = {5, 1, 2};
  strides->elements = {40, 16, 16, 9};
  EXPECT_CALL(openh264.encoder, EncodeFrame(_, _))
      .WillOnce(Invoke([](const SSourcePicture* source, SFrameBSInfo*) {
        EXPECT_EQ(source->iColorFormat, videoFormatI420);
        EXPECT_EQ(source->iPicWidth, 32);
        EXPECT_EQ(source->iPicHeight, 16);
        EXPECT_EQ(source->iStride[0], 40);
        EXPECT_EQ(source->iStride[1], 16);
        EXPECT_EQ(source->iStride[2], 16);
        EXPECT_EQ(source->iStride[3], 9);
        EXPECT_EQ(source->pData[0][0], 77);
        EXPECT_EQ(source->pData[1][0], 17);
        EXPECT_EQ(source->pData[2][0], 18);
        EXPECT_EQ(source->pData[1][-1], 66);
        EXPECT_EQ(source->pData[3], nullptr);
        EXPECT_GT(source->uiTimeStamp, 1600000000LL);
        EXPECT_LT(source->uiTimeStamp, 100000000000LL) << "whole seconds";
        return 1;
      }));
  EXPECT_EQ(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(y->releaseModes, (std::vector<jint>{JNI_ABORT}));
  EXPECT_EQ(context()->sourcePicture, nullptr);
}

TEST_F(FrameEncoding, SecondPictureOfTheSameSizeBuildsNothing) {
  Picture picture = MakePicture(32, 16);
  EXPECT_CALL(openh264, CreateEncoder(_)).Times(1);
  EXPECT_CALL(openh264.encoder, ForceIntraFrame(_, _)).Times(1);
  ASSERT_NE(Encode(picture, 32, 16), nullptr);
  ASSERT_NE(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(jvm.debugMessages, (std::vector<std::string>{kInitializing}));
}

TEST_F(FrameEncoding, ASizeChangeRebuildsWithoutForcingAKeyFrame) {
  Picture small = MakePicture(32, 16);
  Picture wider = MakePicture(48, 16);
  Picture taller = MakePicture(48, 32);
  ASSERT_NE(Encode(small, 32, 16), nullptr);
  {
    InSequence order;
    EXPECT_CALL(openh264.encoder, Uninitialize());
    EXPECT_CALL(openh264, DestroyEncoder(&openh264.encoder));
    EXPECT_CALL(openh264, CreateEncoder(_));
    EXPECT_CALL(openh264.encoder, InitializeExt(_));
    EXPECT_CALL(openh264.encoder, EncodeFrame(_, _));
    EXPECT_CALL(openh264.encoder, Uninitialize());
    EXPECT_CALL(openh264, DestroyEncoder(&openh264.encoder));
    EXPECT_CALL(openh264, CreateEncoder(_));
    EXPECT_CALL(openh264.encoder, InitializeExt(_));
    EXPECT_CALL(openh264.encoder, EncodeFrame(_, _));
  }
  EXPECT_CALL(openh264.encoder, ForceIntraFrame(_, _)).Times(0);
  ASSERT_NE(Encode(wider, 48, 16), nullptr);
  ASSERT_NE(Encode(taller, 48, 32), nullptr);
  EXPECT_EQ(jvm.debugMessages.size(), 3u);
  EXPECT_EQ(context()->width, 48);
  EXPECT_EQ(context()->height, 32);
}

TEST_F(FrameEncoding, ReturningToAnEarlierSizeAlsoRebuilds) {
  Picture small = MakePicture(32, 16);
  Picture large = MakePicture(64, 32);
  EXPECT_CALL(openh264, CreateEncoder(_)).Times(3);
  Encode(small, 32, 16);
  Encode(large, 64, 32);
  Encode(small, 32, 16);
}

TEST_F(FrameEncoding, FailedCreationReportsAndTriesAgainNextTime) {
  Picture picture = MakePicture(32, 16);
  EXPECT_CALL(openh264, CreateEncoder(_)).WillOnce(Return(1)).WillRepeatedly(testing::DoDefault());
  EXPECT_EQ(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(jvm.errorMessages,
            (std::vector<std::string>{"openh264 encode: Could not create openh264 encoder."}));
  EXPECT_EQ(context()->encoder, nullptr);
  EXPECT_EQ(context()->width, 0) << "the size is kept when creation fails";
  EXPECT_EQ(context()->forceKeyFrame, 1);
  EXPECT_NE(Encode(picture, 32, 16), nullptr);
}

TEST_F(FrameEncoding, FailedParameterBuildDestroysTheNewEncoderWithoutUninitialising) {
  Picture picture = MakePicture(32, 16);
  {
    InSequence order;
    EXPECT_CALL(openh264.encoder, GetDefaultParams(_)).WillOnce(Return(4));
    EXPECT_CALL(openh264, DestroyEncoder(&openh264.encoder));
  }
  EXPECT_CALL(openh264.encoder, Uninitialize()).Times(0);
  EXPECT_CALL(openh264.encoder, InitializeExt(_)).Times(0);
  EXPECT_EQ(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(jvm.errorMessages, (std::vector<std::string>{
                                   "openh264 encode: Could not initialize H.264 encoder config. 4",
                                   "openh264 encode: Could not configure openh264 encoder."}));
  EXPECT_TRUE(jvm.debugMessages.empty());
  EXPECT_EQ(context()->encoder, nullptr);
  EXPECT_EQ(context()->width, 32) << "the new size was stored before the build";
}

TEST_F(FrameEncoding, FailedInitialisationReportsThenTearsDownAndTheNextCallRetries) {
  Picture picture = MakePicture(32, 16);
  {
    InSequence order;
    EXPECT_CALL(openh264.encoder, InitializeExt(_)).WillOnce(Return(1));
    EXPECT_CALL(openh264.encoder, Uninitialize());
    EXPECT_CALL(openh264, DestroyEncoder(&openh264.encoder));
    EXPECT_CALL(openh264, CreateEncoder(_));
    EXPECT_CALL(openh264.encoder, InitializeExt(_)).WillOnce(Return(0));
  }
  EXPECT_EQ(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(jvm.debugMessages, (std::vector<std::string>{kInitializing}));
  EXPECT_EQ(jvm.errorMessages,
            (std::vector<std::string>{"openh264 encode: Could not initialize openh264 encoder."}));
  EXPECT_EQ(context()->forceKeyFrame, 1) << "no picture reached the encoder";
  EXPECT_NE(Encode(picture, 32, 16), nullptr);
}

TEST_F(FrameEncoding, FailedEncodeIsSilentAndStillConsumesTheKeyFrameRequest) {
  Picture picture = MakePicture(32, 16);
  EXPECT_CALL(openh264.encoder, EncodeFrame(_, _)).WillOnce(Return(5));
  EXPECT_EQ(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(context()->forceKeyFrame, 0);
  EXPECT_TRUE(jvm.errorMessages.empty());
  EXPECT_EQ(jvm.debugMessages, (std::vector<std::string>{kInitializing}));
  EXPECT_EQ(picture.outFrameSize->elements, (std::vector<jint>{-1, -2}));
  EXPECT_TRUE(jvm.allocRequests.empty());
}

TEST_F(FrameEncoding, InvalidFrameTypeSendsNotReadyAndSkippedFrameSendsNothing) {
  Picture picture = MakePicture(32, 16);
  Encode(picture, 32, 16);
  jvm.debugMessages.clear();
  ProduceFrame(videoFrameTypeInvalid, {{3}});
  EXPECT_EQ(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(jvm.debugMessages,
            (std::vector<std::string>{
                "openh264 encode: Encoder not yet ready or parameters are invalid."}));
  ProduceFrame(videoFrameTypeSkip, {});
  EXPECT_EQ(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(jvm.debugMessages.size(), 1u);
  EXPECT_EQ(picture.outFrameSize->elements, (std::vector<jint>{7, -2}));
}

TEST_F(FrameEncoding, IdrPictureSendsNoMessage) {
  Picture picture = MakePicture(32, 16);
  Encode(picture, 32, 16);
  jvm.debugMessages.clear();
  ProduceFrame(videoFrameTypeIDR, {{2, 2}});
  EXPECT_NE(Encode(picture, 32, 16), nullptr);
  EXPECT_TRUE(jvm.debugMessages.empty());
  EXPECT_TRUE(jvm.errorMessages.empty());
}

TEST_F(FrameEncoding, LayersAreJoinedInOrderIntoOneArrayOfTheFrameSize) {
  ProduceFrame(videoFrameTypeIDR, {{3, 2}, {}, {4}});
  Picture picture = MakePicture(32, 16);
  jbyteArray output = Encode(picture, 32, 16);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(Bytes(output), (std::vector<jbyte>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(jvm.allocRequests, (std::vector<jint>{9}));
  EXPECT_EQ(picture.outFrameSize->elements[0], 9);
  EXPECT_EQ(jvm.allocated[0]->releaseModes, (std::vector<jint>{0}));
}

TEST_F(FrameEncoding, AllocationFailureReturnsNullAndLeavesTheOutSizeAlone) {
  Picture picture = MakePicture(32, 16);
  jvm.native()->Define(
      "AllocCallback", "(I)[B", true,
      [](fakejni::Object*, const std::vector<fakejni::Value>&) { return fakejni::Value(); });
  EXPECT_EQ(Encode(picture, 32, 16), nullptr);
  EXPECT_EQ(picture.outFrameSize->elements, (std::vector<jint>{-1, -2}));
}

TEST_F(FrameEncoding, ZeroHandleReturnsNullWithoutTouchingAnything) {
  Picture picture = MakePicture(32, 16);
  EXPECT_CALL(openh264, CreateEncoder(_)).Times(0);
  EXPECT_EQ(Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodei420(
                env(), cls(), 0, 32, 16, picture.planes, picture.strides, picture.offsets, 0,
                reinterpret_cast<jintArray>(picture.outFrameSize)),
            nullptr);
  EXPECT_TRUE(jvm.calls.empty());
}

// Each case breaks one rule of the input check; none may reach the encoder.
struct BadInput {
  const char* what;
  std::function<void(Picture&, fakejni::FakeJvm&, int& width, int& height)> breakIt;
};

class RejectedInput : public FrameEncoding, public testing::WithParamInterface<BadInput> {};

TEST_P(RejectedInput, ReturnsNullBeforeTouchingTheEncoderOrTheRequest) {
  Picture picture = MakePicture(32, 16);
  int width = 32, height = 16;
  GetParam().breakIt(picture, jvm, width, height);
  EXPECT_CALL(openh264, CreateEncoder(_)).Times(0);
  EXPECT_CALL(openh264.encoder, EncodeFrame(_, _)).Times(0);
  EXPECT_EQ(Encode(picture, width, height), nullptr);
  EXPECT_EQ(context()->forceKeyFrame, 1);
  EXPECT_TRUE(jvm.debugMessages.empty());
  EXPECT_TRUE(jvm.errorMessages.empty());
  EXPECT_TRUE(jvm.CallsStartingWith("GetByteArrayElements").empty());
  if (picture.outFrameSize != nullptr && picture.outFrameSize->elements.size() == 2) {
    EXPECT_EQ(picture.outFrameSize->elements, (std::vector<jint>{-1, -2}));
  }
}

fakejni::IntArray* Ints(jintArray array) {
  return reinterpret_cast<fakejni::IntArray*>(array);
}
fakejni::ObjectArray* Objects(jobjectArray array) {
  return reinterpret_cast<fakejni::ObjectArray*>(array);
}
fakejni::ByteArray* Plane(Picture& p, int i) {
  return static_cast<fakejni::ByteArray*>(Objects(p.planes)->elements[i]);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRule, RejectedInput,
    testing::Values(
        BadInput{"null planes", [](auto& p, auto&, int&, int&) { p.planes = nullptr; }},
        BadInput{"null strides", [](auto& p, auto&, int&, int&) { p.strides = nullptr; }},
        BadInput{"null offsets", [](auto& p, auto&, int&, int&) { p.offsets = nullptr; }},
        BadInput{"null out size", [](auto& p, auto&, int&, int&) { p.outFrameSize = nullptr; }},
        BadInput{"empty out size",
                 [](auto& p, auto&, int&, int&) { p.outFrameSize->elements.clear(); }},
        BadInput{"two planes",
                 [](auto& p, auto&, int&, int&) { Objects(p.planes)->elements.pop_back(); }},
        BadInput{"null plane",
                 [](auto& p, auto&, int&, int&) { Objects(p.planes)->elements[2] = nullptr; }},
        BadInput{"two strides",
                 [](auto& p, auto&, int&, int&) { Ints(p.strides)->elements.resize(2); }},
        BadInput{"two offsets",
                 [](auto& p, auto&, int&, int&) { Ints(p.offsets)->elements.resize(2); }},
        BadInput{"zero width", [](auto&, auto&, int& w, int&) { w = 0; }},
        BadInput{"negative height", [](auto&, auto&, int&, int& h) { h = -16; }},
        BadInput{"negative stride",
                 [](auto& p, auto&, int&, int&) { Ints(p.strides)->elements[1] = -16; }},
        BadInput{"negative offset",
                 [](auto& p, auto&, int&, int&) { Ints(p.offsets)->elements[0] = -1; }},
        BadInput{"luma stride below width",
                 [](auto& p, auto&, int&, int&) { Ints(p.strides)->elements[0] = 31; }},
        BadInput{"chroma stride below half width",
                 [](auto& p, auto&, int&, int&) { Ints(p.strides)->elements[2] = 15; }},
        BadInput{"luma plane one byte short",
                 [](auto& p, auto&, int&, int&) { Plane(p, 0)->elements.pop_back(); }},
        BadInput{"offset pushes chroma past its end",
                 [](auto& p, auto&, int&, int&) { Ints(p.offsets)->elements[1] = 1; }},
        BadInput{"height larger than the planes", [](auto&, auto&, int&, int& h) { h = 18; }},
        BadInput{"huge stride overflowing 32 bits",
                 [](auto& p, auto&, int&, int&) { Ints(p.strides)->elements[0] = 0x7FFFFFFF; }}),
    [](const testing::TestParamInfo<BadInput>& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST_F(FrameEncoding, OddSizesNeedOnlyTheRoundedUpChromaRows) {
  Picture picture = MakePicture(33, 17);
  EXPECT_NE(Encode(picture, 33, 17), nullptr);
  Plane(picture, 1)->elements.pop_back();
  EXPECT_EQ(Encode(picture, 33, 17), nullptr);
}

TEST_F(FrameEncoding, ThreeStridesAreEnoughAndTheMissingFourthIsZero) {
  Picture picture = MakePicture(32, 16);
  Ints(picture.strides)->elements.resize(3);
  EXPECT_CALL(openh264.encoder, EncodeFrame(_, _))
      .WillOnce(Invoke([](const SSourcePicture* source, SFrameBSInfo*) {
        EXPECT_EQ(source->iStride[3], 0);
        return 1;
      }));
  Encode(picture, 32, 16);
}

// EncodeRgb: the pixels are converted as the reference does into one packed
// picture the context keeps, handed to EncodeFrame at the encoder's size,
// and the Java array is pinned for reading only; arguments that do not
// describe the pixels stop the call before an encoder is built.
TEST_F(FrameEncoding, EncodeRgbHandsTheConvertedPixelsToTheEncoder) {
  struct Row {
    const char* what;
    jint layout, offset, stride, elements;
    bool ints, outFrameSize, encodes;
  };
  const Row rows[] = {
      {"INT_RGB, offset and padded rows", tq::kLayoutIntRgb, 3, 33, 3 + 33 * 16, true, true, true},
      {"3BYTE_BGR", tq::kLayout3ByteBgr, 0, 96, 96 * 16, false, true, true},
      {"4BYTE_ABGR_PRE", tq::kLayout4ByteAbgrPre, 1, 130, 1 + 130 * 16, false, true, true},
      {"one element short", tq::kLayoutIntRgb, 0, 32, 32 * 16 - 1, true, true, false},
      {"rows overlapping", tq::kLayoutIntRgb, 0, 31, 32 * 16, true, true, false},
      {"bytes for an int layout", tq::kLayoutIntRgb, 0, 32, 32 * 16 * 4, false, true, false},
      {"unknown layout", 8, 0, 32, 32 * 16, true, true, false},
      {"no frame size array", tq::kLayoutIntRgb, 0, 32, 32 * 16, true, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<jint> ints(static_cast<size_t>(row.ints ? row.elements : 0));
    std::vector<jbyte> bytes(static_cast<size_t>(row.ints ? 0 : row.elements));
    for (size_t i = 0; i < ints.size(); ++i) ints[i] = static_cast<jint>(i * 2654435761u);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<jbyte>(i * 37 + 11);
    fakejni::IntArray* intPixels = row.ints ? jvm.NewIntArray(ints, "pixels") : nullptr;
    fakejni::ByteArray* bytePixels = row.ints ? nullptr : jvm.NewByteArray(bytes, "pixels");
    jobject pixels = row.ints ? Ref<jobject>(intPixels) : Ref<jobject>(bytePixels);
    std::vector<uint8_t> expected(32 * 16 + 2 * 16 * 8);
    RgbImage image = {row.ints ? reinterpret_cast<const uint8_t*>(ints.data() + row.offset)
                               : reinterpret_cast<const uint8_t*>(bytes.data() + row.offset),
                      row.stride, row.layout, 32, 16};
    I420Planes planes = {expected.data(), expected.data() + 512, expected.data() + 640, 32, 16};
    if (row.encodes) ConvertRgbToI420Reference(&image, &planes);
    std::vector<uint8_t> handedOver;
    auto record = Invoke([&](const SSourcePicture* source, SFrameBSInfo*) {
      EXPECT_EQ(source->iPicWidth, 32);
      EXPECT_EQ(source->iPicHeight, 16);
      EXPECT_EQ(source->iStride[0], 32);
      EXPECT_EQ(source->iStride[1], 16);
      EXPECT_EQ(source->iStride[2], 16);
      EXPECT_EQ(source->pData[1], source->pData[0] + 512);
      EXPECT_EQ(source->pData[2], source->pData[0] + 640);
      handedOver.assign(source->pData[0], source->pData[0] + expected.size());
      return 1;
    });
    if (row.encodes) {
      EXPECT_CALL(openh264.encoder, EncodeFrame(_, _)).WillOnce(record);
    } else {
      EXPECT_CALL(openh264.encoder, EncodeFrame(_, _)).Times(0);
    }
    fakejni::IntArray* frameSize = row.outFrameSize ? jvm.NewIntArray({-1}, "size") : nullptr;
    EXPECT_EQ(Java_tq_brindlecast_openh264_Native_OpenH264TQEncoderEncodeRgb(
                  env(), cls(), handle, pixels, row.offset, row.stride, row.layout, 32, 16,
                  Ref<jintArray>(frameSize)),
              nullptr);
    testing::Mock::VerifyAndClearExpectations(&openh264.encoder);
    if (row.encodes) {
      EXPECT_EQ(handedOver, expected);
      EXPECT_EQ(row.ints ? intPixels->releaseModes : bytePixels->releaseModes,
                std::vector<jint>{JNI_ABORT});
    } else {
      EXPECT_EQ(context()->encoder, nullptr);
    }
    EXPECT_EQ(context()->sourcePicture, nullptr);
    ReleaseEncoder(context());
  }
}

}  // namespace
}  // namespace encodertest
