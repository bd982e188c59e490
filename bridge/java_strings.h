// Java strings in and out of the library, as modified UTF-8.
#ifndef TQ_BRIDGE_JAVA_STRINGS_H
#define TQ_BRIDGE_JAVA_STRINGS_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// A malloc'ed copy of the string's bytes (free it); null for a null string
// or when the JVM could not give them.
char* CopyJavaString(JNIEnv* env, jstring string);

// A new Java string, or null for null text (or when the JVM is out of
// memory, with an exception pending).
jstring NewJavaString(JNIEnv* env, const char* text);

#ifdef __cplusplus
}
#endif

#endif
