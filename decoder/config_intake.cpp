#include "decoder/config_intake.h"

#include <string.h>

#include "bridge/getter_reader.h"
#include "bridge/heap_ownership.h"
#include "bridge/message_channel.h"
#include "decoder/decoder_context.h"

namespace {

enum { kConfigFailed = -1 };

// Getters are called in this order.
void ReadDecoderConfig(tq::GetterReader& read, DecoderConfig* config) {
  read.String(&config->pFileNameRestructed, "getFileNameRestructed");
  read.Int(&config->uiCpuLoad, "getCpuLoad");
  read.Char(&config->uiTargetDqLayer, "getTargetDqLayer");
  read.Int(&config->eEcActiveIdc, "getEcActiveIdc");
  read.Int(&config->bParseOnly, "getParseOnly");
  read.Int(&config->uiVideoPropertySize, "getVideoSize");
  read.Int(&config->eVideoBsType, "getVideoBsType");
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetConfig(
    JNIEnv* env, jclass cls, jlong decoderHandle, jobject decoderConfigObject) {
  DecoderContext* context = DecoderFromHandle(decoderHandle);
  if (context == nullptr || decoderConfigObject == nullptr) return kConfigFailed;
  SendMessage(env, cls, context->debugChannel,
              "openh264 decode: OpenH264 native decoder setting config.");
  // Read into a fresh record so that a getter that throws leaves the stored
  // configuration and the running decoder as they were.
  DecoderConfig fresh;
  memset(&fresh, 0, sizeof fresh);
  tq::GetterReader read = {env, cls, decoderConfigObject, true};
  ReadDecoderConfig(read, &fresh);
  tq::HeapOwned<char> freshName(fresh.pFileNameRestructed);
  if (!read.ok) return kConfigFailed;
  tq::HeapOwned<char> replacedName(context->decoderConfig.pFileNameRestructed);
  context->decoderConfig = fresh;
  freshName.release();
  ReleaseDecoder(context);
  return 0;
}
