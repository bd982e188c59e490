// What the encoder and decoder contexts share: a context lives on the C heap
// and travels to Java as its address in a jlong handle; it keeps the
// callback references it was created with and its two message channels.
#ifndef TQ_BRIDGE_CONTEXT_HANDLE_H
#define TQ_BRIDGE_CONTEXT_HANDLE_H

#include <jni.h>
#include <stdint.h>
#include <stdlib.h>

#include "bridge/message_channel.h"

namespace tq {

// The context behind a handle; null for the handle 0.
template <typename Context>
Context* ContextFromHandle(jlong handle) {
  return reinterpret_cast<Context*>(static_cast<intptr_t>(handle));
}

template <typename Context>
jlong HandleOf(Context* context) {
  return static_cast<jlong>(reinterpret_cast<intptr_t>(context));
}

// A zero-filled context (so nothing in it is undefined) holding the
// callback references as given and its channel selectors; null when the
// heap is exhausted.
template <typename Context>
Context* NewContext(JNIEnv* env, jclass cls, jobject allocCallback, jobject returnCallback,
                    jobject errorCallback, jobject debugCallback) {
  Context* context = static_cast<Context*>(calloc(1, sizeof(Context)));
  if (context == nullptr) return nullptr;
  context->allocCallbackRef = allocCallback;
  context->returnCallbackRef = returnCallback;
  context->errorChannel = GenerateErrorCallback(env, cls, errorCallback);
  context->debugChannel = GenerateDebugCallback(env, cls, debugCallback);
  return context;
}

}  // namespace tq

#endif
