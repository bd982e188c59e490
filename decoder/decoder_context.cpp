#include "decoder/decoder_context.h"

#include <stdlib.h>
#include <string.h>

#include "bridge/java_getters.h"
#include "bridge/java_status.h"
#include "bridge/message_channel.h"

namespace {

enum { kConfigFailed = -1, kNoDecoder = -1 };

// Each Read* stores one getter's value and says whether reading may go on;
// the chain stops at the first getter that leaves an exception pending.
struct Reader {
  JNIEnv* env;
  jclass cls;
  jobject object;
  bool ok;

  void String(char** field, const char* getter) {
    if (!ok) return;
    *field = GetStringValue(env, cls, object, getter);
    ok = !JavaExceptionPending(env);
  }
  void Int(int32_t* field, const char* getter) {
    if (!ok) return;
    *field = GetIntValue(env, cls, object, getter);
    ok = !JavaExceptionPending(env);
  }
  void Char(uint16_t* field, const char* getter) {
    if (!ok) return;
    *field = GetCharValue(env, cls, object, getter);
    ok = !JavaExceptionPending(env);
  }
};

// Getters are called in this order.
void ReadDecoderConfig(Reader& read, DecoderConfig* config) {
  read.String(&config->pFileNameRestructed, "getFileNameRestructed");
  read.Int(&config->uiCpuLoad, "getCpuLoad");
  read.Char(&config->uiTargetDqLayer, "getTargetDqLayer");
  read.Int(&config->eEcActiveIdc, "getEcActiveIdc");
  read.Int(&config->bParseOnly, "getParseOnly");
  read.Int(&config->uiVideoPropertySize, "getVideoSize");
  read.Int(&config->eVideoBsType, "getVideoBsType");
}

// Java may hand any int; copying the bits keeps a value outside the enum's
// range defined, and OpenH264 judges it.
template <typename Enum>
void StoreEnum(Enum* field, int32_t value) {
  static_assert(sizeof(Enum) == sizeof(int32_t), "OpenH264 enums are int-sized");
  memcpy(field, &value, sizeof value);
}

}  // namespace

extern "C" DecoderContext* DecoderFromHandle(jlong handle) {
  return reinterpret_cast<DecoderContext*>(static_cast<intptr_t>(handle));
}

extern "C" void ReleaseDecoder(DecoderContext* context) {
  if (context->decoder == nullptr) return;
  context->decoder->Uninitialize();
  WelsDestroyDecoder(context->decoder);
  context->decoder = nullptr;
}

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
  StoreEnum(&param->eEcActiveIdc, config.eEcActiveIdc);
  param->bParseOnly = config.bParseOnly != 0;
  param->sVideoProperty.size = static_cast<unsigned int>(config.uiVideoPropertySize);
  StoreEnum(&param->sVideoProperty.eVideoBsType, config.eVideoBsType);
  return 0;
}

extern "C" JNIEXPORT jlong JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderCreate(
    JNIEnv* env, jclass cls, jobject allocCallback, jobject returnCallback, jobject errorCallback,
    jobject debugCallback) {
  // Zero-filled: needsKeyFrame starts at 0 and a Decode before any
  // SetConfig meets a defined (all-zero) configuration.
  DecoderContext* context = static_cast<DecoderContext*>(calloc(1, sizeof(DecoderContext)));
  if (context == nullptr) return 0;
  context->decoder = nullptr;
  context->allocCallbackRef = allocCallback;
  context->returnCallbackRef = returnCallback;
  context->errorChannel = GenerateErrorCallback(env, cls, errorCallback);
  context->debugChannel = GenerateDebugCallback(env, cls, debugCallback);
  context->decoderConfig.pFileNameRestructed = nullptr;
  return static_cast<jlong>(reinterpret_cast<intptr_t>(context));
}

extern "C" JNIEXPORT void JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderDestroy(JNIEnv*, jclass, jlong decoderHandle) {
  DecoderContext* context = DecoderFromHandle(decoderHandle);
  if (context == nullptr) return;
  free(context->decoderConfig.pFileNameRestructed);
  context->decoderConfig.pFileNameRestructed = nullptr;
  ReleaseDecoder(context);
  free(context);
}

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
  Reader read = {env, cls, decoderConfigObject, true};
  ReadDecoderConfig(read, &fresh);
  if (!read.ok) {
    free(fresh.pFileNameRestructed);
    return kConfigFailed;
  }
  free(context->decoderConfig.pFileNameRestructed);
  context->decoderConfig = fresh;
  ReleaseDecoder(context);
  return 0;
}

extern "C" JNIEXPORT jlong JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderGetNeedsKeyFrame(JNIEnv*, jclass,
                                                                      jlong decoderHandle) {
  DecoderContext* context = DecoderFromHandle(decoderHandle);
  return context == nullptr ? 0 : context->needsKeyFrame;
}

extern "C" JNIEXPORT void JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQDecoderSetNeedsKeyFrame(JNIEnv*, jclass,
                                                                      jlong decoderHandle,
                                                                      jlong value) {
  DecoderContext* context = DecoderFromHandle(decoderHandle);
  if (context == nullptr) return;
  context->needsKeyFrame = value;
}
