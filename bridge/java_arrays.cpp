#include "bridge/java_arrays.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "bridge/java_status.h"

extern "C" jbyte* AllocateData(JNIEnv* env, jclass cls, jobject, jint size, jbyteArray* outArray) {
  *outArray = nullptr;
  jmethodID method = env->GetStaticMethodID(cls, "AllocCallback", "(I)[B");
  if (method == nullptr) return nullptr;
  jbyteArray array = static_cast<jbyteArray>(env->CallStaticObjectMethod(cls, method, size));
  if (JavaExceptionPending(env) || array == nullptr) return nullptr;
  // A shorter array would let the caller write past its end.
  if (env->GetArrayLength(array) < size) return nullptr;
  jbyte* view = env->GetByteArrayElements(array, nullptr);
  if (view != nullptr) *outArray = array;
  return view;
}

extern "C" jbyteArray ReturnData(JNIEnv* env, jclass, jobject, jbyte* view, jbyteArray array) {
  env->ReleaseByteArrayElements(array, view, 0);
  return array;
}

extern "C" jbyte* ConvertBytes(JNIEnv* env, jclass, jbyteArray array) {
  if (env->IsSameObject(array, nullptr)) return nullptr;
  return env->GetByteArrayElements(array, nullptr);
}

extern "C" void ConvertRelease(JNIEnv* env, jclass, jbyte* view, jbyteArray array) {
  if (array == nullptr || view == nullptr) return;
  env->ReleaseByteArrayElements(array, view, JNI_ABORT);
}

extern "C" void SetOutVariables(JNIEnv* env, jclass, jintArray array, int count, ...) {
  if (array == nullptr) return;
  jint* view = env->GetIntArrayElements(array, nullptr);
  if (view == nullptr) return;
  va_list values;
  va_start(values, count);
  for (int i = 0; i < count; ++i) view[i] = va_arg(values, int);
  va_end(values);
  env->ReleaseIntArrayElements(array, view, 0);
}

extern "C" jbyte** Convert2DData(JNIEnv* env, jclass, jobjectArray arrays, unsigned count) {
  jbyte** list = static_cast<jbyte**>(calloc(count == 0 ? 1 : count, sizeof(jbyte*)));
  if (list == nullptr) return nullptr;
  for (unsigned i = 0; i < count; ++i) {
    jbyteArray inner = static_cast<jbyteArray>(env->GetObjectArrayElement(arrays, (jsize)i));
    list[i] = inner == nullptr ? nullptr : env->GetByteArrayElements(inner, nullptr);
  }
  return list;
}

extern "C" void Release2DData(JNIEnv* env, jclass, jbyte** list, jobjectArray arrays,
                              unsigned count) {
  if (list == nullptr) return;
  for (unsigned i = 0; i < count; ++i) {
    jbyteArray inner = static_cast<jbyteArray>(env->GetObjectArrayElement(arrays, (jsize)i));
    if (inner != nullptr && list[i] != nullptr) {
      env->ReleaseByteArrayElements(inner, list[i], JNI_ABORT);
    }
  }
}

extern "C" jint* ConvertIntArray(JNIEnv* env, jclass, jintArray array) {
  if (array == nullptr) return nullptr;
  return env->GetIntArrayElements(array, nullptr);
}

extern "C" void ReleaseIntArray(JNIEnv* env, jclass, jint* view, jintArray array) {
  if (array == nullptr || view == nullptr) return;
  env->ReleaseIntArrayElements(array, view, JNI_ABORT);
}

extern "C" jint ArrayLength(JNIEnv* env, jclass, jarray array) {
  return array == nullptr ? -1 : env->GetArrayLength(array);
}

extern "C" jint InnerArrayLength(JNIEnv* env, jclass cls, jobjectArray arrays, jint index) {
  jarray inner = static_cast<jarray>(env->GetObjectArrayElement(arrays, index));
  return ArrayLength(env, cls, inner);
}

extern "C" jint CopyIntArrayPrefix(JNIEnv* env, jclass cls, jintArray array, jint* destination,
                                   jint count) {
  memset(destination, 0, sizeof(jint) * (size_t)(count > 0 ? count : 0));
  jint length = ArrayLength(env, cls, array);
  jint available = length < count ? length : count;
  if (available > 0) env->GetIntArrayRegion(array, 0, available, destination);
  return available > 0 ? available : 0;
}

namespace {

bool IsArrayOf(JNIEnv* env, jobject object, const char* descriptor) {
  jclass arrayClass = env->FindClass(descriptor);
  if (arrayClass == nullptr) return false;  // an exception is pending
  bool instance = env->IsInstanceOf(object, arrayClass) == JNI_TRUE;
  env->DeleteLocalRef(arrayClass);
  return instance;
}

}  // namespace

extern "C" int PrimitiveArrayType(JNIEnv* env, jclass, jobject object) {
  // IsInstanceOf holds for a null reference: look at it first.
  if (env->IsSameObject(object, nullptr)) return 0;
  if (IsArrayOf(env, object, "[B")) return 'B';
  if (!JavaExceptionPending(env) && IsArrayOf(env, object, "[I")) return 'I';
  return 0;
}

extern "C" int SameJavaObject(JNIEnv* env, jclass, jobject first, jobject second) {
  return env->IsSameObject(first, second) == JNI_TRUE;
}

extern "C" void* PinCritical(JNIEnv* env, jclass, jarray array) {
  if (array == nullptr) return nullptr;
  return env->GetPrimitiveArrayCritical(array, nullptr);
}

extern "C" void UnpinCritical(JNIEnv* env, jclass, jarray array, void* view, jint mode) {
  if (array == nullptr || view == nullptr) return;
  env->ReleasePrimitiveArrayCritical(array, view, mode);
}
