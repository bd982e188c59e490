#include "tests/fakes/fake_openh264.h"

#include "openh264/release_binding.h"

namespace fakeh264 {

using testing::_;
using testing::DoAll;
using testing::Return;
using testing::SetArgPointee;

FakeOpenH264* FakeOpenH264::current = nullptr;

namespace {

int ForwardCreateEncoder(ISVCEncoder** encoder) {
  return FakeOpenH264::current->CreateEncoder(encoder);
}

void ForwardDestroyEncoder(ISVCEncoder* encoder) {
  FakeOpenH264::current->DestroyEncoder(encoder);
}

long ForwardCreateDecoder(ISVCDecoder** decoder) {
  return FakeOpenH264::current->CreateDecoder(decoder);
}

void ForwardDestroyDecoder(ISVCDecoder* decoder) {
  FakeOpenH264::current->DestroyDecoder(decoder);
}

void ForwardGetVersion(OpenH264Version* version) {
  *version = FakeOpenH264::current->release;
}

}  // namespace

FakeOpenH264::FakeOpenH264() {
  ON_CALL(*this, CreateEncoder(_)).WillByDefault(DoAll(SetArgPointee<0>(&encoder), Return(0)));
  ON_CALL(*this, CreateDecoder(_)).WillByDefault(DoAll(SetArgPointee<0>(&decoder), Return(0)));
  current = this;
  BindAs(2, 6, 0);
}

FakeOpenH264::~FakeOpenH264() {
  UnbindOpenH264();
  current = nullptr;
}

void FakeOpenH264::BindAs(unsigned major, unsigned minor, unsigned revision) {
  release.uMajor = major;
  release.uMinor = minor;
  release.uRevision = revision;
  OpenH264Functions functions = {ForwardCreateEncoder, ForwardDestroyEncoder, ForwardCreateDecoder,
                                 ForwardDestroyDecoder, ForwardGetVersion};
  char reason[160];
  bool bound = BindOpenH264(&functions, "fake OpenH264", reason, sizeof reason);
  EXPECT_TRUE(bound) << reason;
}

}  // namespace fakeh264
