#include "decoder/decoder_params.h"

#include "bridge/message_channel.h"
#include "bridge/store_enum.h"

namespace {

enum { kNoDecoder = -1 };

}  // namespace

extern "C" int32_t OpenH264TQDecoderUpdateCodecConfig(JNIEnv* env, jclass cls,
                                                      DecoderContext* context,
                                                      SDecodingParam* param) {
  if (context->decoder == nullptr) {
    SendMessage(env, cls, context->errorChannel,
                "openh264 decode: Decoder must be created before calling "
                "OpenH264TQDecoderUpdateCodecControl().");
    return kNoDecoder;
  }
  const DecoderConfig& config = context->decoderConfig;
  param->pFileNameRestructed = config.pFileNameRestructed;
  param->uiCpuLoad = static_cast<unsigned int>(config.uiCpuLoad);
  param->uiTargetDqLayer = static_cast<unsigned char>(config.uiTargetDqLayer & 0xFF);
  tq::StoreEnum(&param->eEcActiveIdc, config.eEcActiveIdc);
  param->bParseOnly = config.bParseOnly != 0;
  param->sVideoProperty.size = static_cast<unsigned int>(config.uiVideoPropertySize);
  tq::StoreEnum(&param->sVideoProperty.eVideoBsType, config.eVideoBsType);
  return 0;
}
