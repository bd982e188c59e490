#include "bridge/java_getters.h"

#include <stdlib.h>
#include <string.h>

#include "bridge/java_arrays.h"
#include "bridge/java_status.h"
#include "bridge/java_strings.h"

namespace {

// Null when the object is null or has no such getter (NoSuchMethodError is
// then pending).
jmethodID FindGetter(JNIEnv* env, jobject obj, const char* name, const char* signature) {
  if (obj == nullptr) return nullptr;
  jclass objectClass = env->GetObjectClass(obj);
  return env->GetMethodID(objectClass, name, signature);
}

}  // namespace

extern "C" jint GetIntValue(JNIEnv* env, jclass, jobject obj, const char* name) {
  jmethodID method = FindGetter(env, obj, name, "()I");
  return method == nullptr ? 0 : env->CallIntMethod(obj, method);
}

extern "C" jfloat GetFloatValue(JNIEnv* env, jclass, jobject obj, const char* name) {
  jmethodID method = FindGetter(env, obj, name, "()F");
  return method == nullptr ? 0.0f : env->CallFloatMethod(obj, method);
}

extern "C" jchar GetCharValue(JNIEnv* env, jclass, jobject obj, const char* name) {
  jmethodID method = FindGetter(env, obj, name, "()C");
  return method == nullptr ? 0 : env->CallCharMethod(obj, method);
}

extern "C" char* GetStringValue(JNIEnv* env, jclass, jobject obj, const char* name) {
  jmethodID method = FindGetter(env, obj, name, "()Ljava/lang/String;");
  if (method == nullptr) return nullptr;
  jstring string = static_cast<jstring>(env->CallObjectMethod(obj, method));
  if (JavaExceptionPending(env)) return nullptr;
  return CopyJavaString(env, string);
}

extern "C" void GetIntArrayValues(JNIEnv* env, jclass cls, void* destination, int byteCount,
                                  jobject obj, const char* name) {
  size_t wanted = byteCount > 0 ? (size_t)byteCount : 0;
  size_t copied = 0;
  jmethodID method = FindGetter(env, obj, name, "()[I");
  jintArray array = nullptr;
  if (method != nullptr) array = static_cast<jintArray>(env->CallObjectMethod(obj, method));
  if (array != nullptr && !JavaExceptionPending(env)) {
    size_t available = (size_t)env->GetArrayLength(array) * sizeof(jint);
    jint* view = ConvertIntArray(env, cls, array);
    if (view != nullptr) {
      copied = available < wanted ? available : wanted;
      memcpy(destination, view, copied);
      ReleaseIntArray(env, cls, view, array);
    }
  }
  memset(static_cast<char*>(destination) + copied, 0, wanted - copied);
}
