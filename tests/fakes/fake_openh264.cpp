#include "tests/fakes/fake_openh264.h"

namespace fakeh264 {

using testing::_;
using testing::DoAll;
using testing::Return;
using testing::SetArgPointee;

FakeOpenH264* FakeOpenH264::current = nullptr;

FakeOpenH264::FakeOpenH264() {
  ON_CALL(*this, CreateEncoder(_)).WillByDefault(DoAll(SetArgPointee<0>(&encoder), Return(0)));
  ON_CALL(*this, CreateDecoder(_)).WillByDefault(DoAll(SetArgPointee<0>(&decoder), Return(0)));
  current = this;
}

FakeOpenH264::~FakeOpenH264() {
  current = nullptr;
}

}  // namespace fakeh264

using fakeh264::FakeOpenH264;

extern "C" int WelsCreateSVCEncoder(ISVCEncoder** encoder) {
  return FakeOpenH264::current->CreateEncoder(encoder);
}

extern "C" void WelsDestroySVCEncoder(ISVCEncoder* encoder) {
  FakeOpenH264::current->DestroyEncoder(encoder);
}

extern "C" long WelsCreateDecoder(ISVCDecoder** decoder) {
  return FakeOpenH264::current->CreateDecoder(decoder);
}

extern "C" void WelsDestroyDecoder(ISVCDecoder* decoder) {
  FakeOpenH264::current->DestroyDecoder(decoder);
}
