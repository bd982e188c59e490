#include "bridge/scoped_java.h"

#include <stdlib.h>

#include "bridge/java_arrays.h"

namespace tq {

ScopedPlaneViews::ScopedPlaneViews(JNIEnv* env, jclass cls, jobjectArray arrays, unsigned count)
    : env_(env), cls_(cls), arrays_(arrays), count_(count) {
  list_ = Convert2DData(env, cls, arrays, count);
}

ScopedPlaneViews::~ScopedPlaneViews() {
  Release2DData(env_, cls_, list_, arrays_, count_);
  free(list_);
}

bool ScopedPlaneViews::AllPinned() const {
  if (list_ == nullptr) return false;
  for (unsigned i = 0; i < count_; ++i) {
    if (list_[i] == nullptr) return false;
  }
  return true;
}

ScopedBytes::ScopedBytes(JNIEnv* env, jclass cls, jbyteArray array)
    : env_(env), cls_(cls), array_(array) {
  view_ = ConvertBytes(env, cls, array);
}

ScopedBytes::~ScopedBytes() {
  ConvertRelease(env_, cls_, view_, array_);
}

ScopedOutputArray::ScopedOutputArray(JNIEnv* env, jclass cls, jobject allocCallbackRef, jint size)
    : env_(env), cls_(cls), array_(nullptr) {
  view_ = AllocateData(env, cls, allocCallbackRef, size, &array_);
}

ScopedOutputArray::~ScopedOutputArray() {
  if (view_ != nullptr) ConvertRelease(env_, cls_, view_, array_);
}

jbyteArray ScopedOutputArray::Return(jobject returnCallbackRef) {
  jbyte* view = view_;
  view_ = nullptr;
  return ReturnData(env_, cls_, returnCallbackRef, view, array_);
}

ScopedCriticalArray::ScopedCriticalArray(JNIEnv* env, jclass cls, jarray array, Use use)
    : env_(env), cls_(cls), array_(array), use_(use) {
  view_ = PinCritical(env, cls, array);
}

ScopedCriticalArray::~ScopedCriticalArray() {
  UnpinCritical(env_, cls_, array_, view_, use_ == kWrite ? 0 : JNI_ABORT);
}

}  // namespace tq
