#include "bridge/message_channel.h"

#include <stdarg.h>
#include <stdio.h>

#include "bridge/java_status.h"

namespace {

const char kCallbackSignature[] = "(Ljava/lang/String;)V";

const char* CallbackName(char channel) {
  return channel == kErrorChannel ? "ErrorCallback" : "DebugCallback";
}

}  // namespace

extern "C" void WriteMessage(JNIEnv* env, jclass cls, char channel, const char* message) {
  // A message that cannot be delivered is dropped: the operation that sent it
  // carries on, so any exception raised on the way is cleared here.
  jmethodID method = env->GetStaticMethodID(cls, CallbackName(channel), kCallbackSignature);
  if (method == nullptr) {
    ClearPendingJavaException(env);
    return;
  }
  jstring text = env->NewStringUTF(message);
  if (text == nullptr) {
    ClearPendingJavaException(env);
    return;
  }
  env->CallStaticVoidMethod(cls, method, text);
  ClearPendingJavaException(env);
}

extern "C" char GenerateErrorCallback(JNIEnv*, jclass, jobject) {
  return kErrorChannel;
}

extern "C" char GenerateDebugCallback(JNIEnv*, jclass, jobject) {
  return kDebugChannel;
}

extern "C" void SendMessage(JNIEnv* env, jclass cls, char channel, const char* format, ...) {
  char buffer[kMessageBufferSize];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  WriteMessage(env, cls, channel, buffer);
}
