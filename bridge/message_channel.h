// Delivery of the library's diagnostic texts to the static Java callbacks
// ErrorCallback and DebugCallback of the class Native.
#ifndef TQ_BRIDGE_MESSAGE_CHANNEL_H
#define TQ_BRIDGE_MESSAGE_CHANNEL_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// Channel selectors kept by every context. 'E' reaches ErrorCallback; any
// other value reaches DebugCallback.
enum { kErrorChannel = 'E', kDebugChannel = 'D' };

// Size of the stack buffer every message is formatted into.
enum { kMessageBufferSize = 256 };

void WriteMessage(JNIEnv* env, jclass cls, char channel, const char* message);
char GenerateErrorCallback(JNIEnv* env, jclass cls, jobject errorCallback);
char GenerateDebugCallback(JNIEnv* env, jclass cls, jobject debugCallback);

// Formats into a 256-byte stack buffer (cut after 255 characters) and hands
// the text to WriteMessage.
void SendMessage(JNIEnv* env, jclass cls, char channel, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

#ifdef __cplusplus
}
#endif

#endif
