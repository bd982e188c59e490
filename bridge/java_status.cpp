#include "bridge/java_status.h"

extern "C" int JavaExceptionPending(JNIEnv* env) {
  return env->ExceptionCheck() == JNI_TRUE;
}

extern "C" void ClearPendingJavaException(JNIEnv* env) {
  if (env->ExceptionCheck()) env->ExceptionClear();
}

extern "C" int ReserveLocalReferences(JNIEnv* env, jint count) {
  return env->EnsureLocalCapacity(count) == 0;
}
