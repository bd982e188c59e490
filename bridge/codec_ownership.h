// Owners of OpenH264 encoder and decoder objects for the span of one call.
// The contexts keep plain pointers (they are C records); these guards hold
// an object while it is being brought up or torn down, so that every way
// out of that work releases it the one right way.
#ifndef TQ_BRIDGE_CODEC_OWNERSHIP_H
#define TQ_BRIDGE_CODEC_OWNERSHIP_H

#include <codec_api.h>

#include <memory>

#include "openh264/release_binding.h"

namespace tq {

// An encoder that was created but never initialised is only destroyed.
struct DestroyEncoder {
  void operator()(ISVCEncoder* encoder) const { DestroyOpenH264Encoder(encoder); }
};
// Once initialisation was tried, it is uninitialised before it is destroyed.
struct ShutDownEncoder {
  void operator()(ISVCEncoder* encoder) const {
    encoder->Uninitialize();
    DestroyOpenH264Encoder(encoder);
  }
};
struct ShutDownDecoder {
  void operator()(ISVCDecoder* decoder) const {
    decoder->Uninitialize();
    DestroyOpenH264Decoder(decoder);
  }
};

using CreatedEncoder = std::unique_ptr<ISVCEncoder, DestroyEncoder>;
using InitializedEncoder = std::unique_ptr<ISVCEncoder, ShutDownEncoder>;
using InitializedDecoder = std::unique_ptr<ISVCDecoder, ShutDownDecoder>;

}  // namespace tq

#endif
