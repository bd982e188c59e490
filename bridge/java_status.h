// Pending Java exceptions. Upcalls into Java (getters, AllocCallback) can
// throw; the callers stop and leave the exception for the Java caller to see.
#ifndef TQ_BRIDGE_JAVA_STATUS_H
#define TQ_BRIDGE_JAVA_STATUS_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// True when the last upcall left a Java exception pending.
int JavaExceptionPending(JNIEnv* env);

// Drops a pending exception, if any (used where a failure is not fatal).
void ClearPendingJavaException(JNIEnv* env);

// Makes room for `count` local references: an entry point that reads many
// getters keeps one class reference per getter until it returns, more than
// the 16 JNI guarantees. False (OutOfMemoryError pending) if there is none.
int ReserveLocalReferences(JNIEnv* env, jint count);

#ifdef __cplusplus
}
#endif

#endif
