// Reading configuration values from Java objects through their getters.
// Every getter is looked up by name and signature on the object's class at
// each call. A missing getter or one that throws leaves its exception
// pending and yields 0 (or null); callers check JavaExceptionPending.
#ifndef TQ_BRIDGE_JAVA_GETTERS_H
#define TQ_BRIDGE_JAVA_GETTERS_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

jint GetIntValue(JNIEnv* env, jclass cls, jobject obj, const char* name);
jfloat GetFloatValue(JNIEnv* env, jclass cls, jobject obj, const char* name);
jchar GetCharValue(JNIEnv* env, jclass cls, jobject obj, const char* name);

// A malloc'ed copy of the string's modified UTF-8 bytes (free it), or null
// when the getter returns null.
char* GetStringValue(JNIEnv* env, jclass cls, jobject obj, const char* name);

// Copies byteCount bytes of the int[] the getter returns into destination.
// Of a shorter or null array only the elements that exist are copied and the
// rest of the byteCount bytes are zero-filled.
void GetIntArrayValues(JNIEnv* env, jclass cls, void* destination, int byteCount, jobject obj,
                       const char* name);

#ifdef __cplusplus
}
#endif

#endif
