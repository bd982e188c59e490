#include "bridge/java_strings.h"

#include <stdlib.h>
#include <string.h>

extern "C" char* CopyJavaString(JNIEnv* env, jstring string) {
  if (string == nullptr) return nullptr;
  const char* chars = env->GetStringUTFChars(string, nullptr);
  if (chars == nullptr) return nullptr;
  char* copy = strdup(chars);
  env->ReleaseStringUTFChars(string, chars);
  return copy;
}

extern "C" jstring NewJavaString(JNIEnv* env, const char* text) {
  return text == nullptr ? nullptr : env->NewStringUTF(text);
}
