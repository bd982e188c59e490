#include "decoder/key_frame_flag.h"

#include "decoder/decoder_context.h"

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
