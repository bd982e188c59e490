// GoogleMock stand-ins for OpenH264: while a FakeOpenH264 exists, the
// library is bound to its factory functions, which hand out its mock encoder
// and decoder, and to its release (2.6.0 unless a test says otherwise).
#ifndef TQ_TESTS_FAKES_FAKE_OPENH264_H
#define TQ_TESTS_FAKES_FAKE_OPENH264_H

#include <codec_api.h>
#include <gmock/gmock.h>

namespace fakeh264 {

class MockEncoder : public ISVCEncoder {
 public:
  MOCK_METHOD(int, Initialize, (const SEncParamBase* param), (override));
  MOCK_METHOD(int, InitializeExt, (const SEncParamExt* param), (override));
  MOCK_METHOD(int, GetDefaultParams, (SEncParamExt * param), (override));
  MOCK_METHOD(int, Uninitialize, (), (override));
  MOCK_METHOD(int, EncodeFrame, (const SSourcePicture* picture, SFrameBSInfo* info), (override));
  MOCK_METHOD(int, EncodeParameterSets, (SFrameBSInfo * info), (override));
  MOCK_METHOD(int, ForceIntraFrame, (bool idr, int layer), (override));
  MOCK_METHOD(int, SetOption, (ENCODER_OPTION option, void* value), (override));
  MOCK_METHOD(int, GetOption, (ENCODER_OPTION option, void* value), (override));
};

class MockDecoder : public ISVCDecoder {
 public:
  MOCK_METHOD(long, Initialize, (const SDecodingParam* param), (override));
  MOCK_METHOD(long, Uninitialize, (), (override));
  MOCK_METHOD(DECODING_STATE, DecodeFrame,
              (const unsigned char* source, const int length, unsigned char** planes, int* strides,
               int& width, int& height),
              (override));
  MOCK_METHOD(DECODING_STATE, DecodeFrameNoDelay,
              (const unsigned char* source, const int length, unsigned char** planes,
               SBufferInfo* info),
              (override));
  MOCK_METHOD(DECODING_STATE, DecodeFrame2,
              (const unsigned char* source, const int length, unsigned char** planes,
               SBufferInfo* info),
              (override));
  MOCK_METHOD(DECODING_STATE, FlushFrame, (unsigned char** planes, SBufferInfo* info), (override));
  MOCK_METHOD(DECODING_STATE, DecodeParser,
              (const unsigned char* source, const int length, SParserBsInfo* info), (override));
  MOCK_METHOD(DECODING_STATE, DecodeFrameEx,
              (const unsigned char* source, const int length, unsigned char* destination,
               int stride, int& destinationLength, int& width, int& height, int& format),
              (override));
  MOCK_METHOD(long, SetOption, (DECODER_OPTION option, void* value), (override));
  MOCK_METHOD(long, GetOption, (DECODER_OPTION option, void* value), (override));
};

// The factory functions. While an instance exists it is current; by default
// the create calls succeed and hand out `encoder` and `decoder`.
class FakeOpenH264 {
 public:
  FakeOpenH264();
  ~FakeOpenH264();

  // Binds the library to this fake as OpenH264 major.minor.revision.
  void BindAs(unsigned major, unsigned minor, unsigned revision);

  MOCK_METHOD(int, CreateEncoder, (ISVCEncoder * *encoder));
  MOCK_METHOD(void, DestroyEncoder, (ISVCEncoder * encoder));
  MOCK_METHOD(long, CreateDecoder, (ISVCDecoder * *decoder));
  MOCK_METHOD(void, DestroyDecoder, (ISVCDecoder * decoder));

  testing::NiceMock<MockEncoder> encoder;
  testing::NiceMock<MockDecoder> decoder;
  OpenH264Version release = {};

  static FakeOpenH264* current;
};

}  // namespace fakeh264

#endif
