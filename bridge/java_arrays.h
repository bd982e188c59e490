// Access to Java arrays: element views of input arrays, output arrays
// allocated through Native.AllocCallback, and int[] out-parameters.
//
// Views that native code only reads are given back with JNI_ABORT so nothing
// is copied back; views that native code wrote are given back with mode 0.
#ifndef TQ_BRIDGE_JAVA_ARRAYS_H
#define TQ_BRIDGE_JAVA_ARRAYS_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// Asks Native.AllocCallback for a byte[] of `size` bytes, stores it through
// outArray and returns a view of it. Returns null (and stores null) when the
// callback is missing, throws, or returns null or fewer than `size` bytes.
jbyte* AllocateData(JNIEnv* env, jclass cls, jobject allocCallbackRef, jint size,
                    jbyteArray* outArray);

// Gives back a view from AllocateData with copy-back and returns the array.
jbyteArray ReturnData(JNIEnv* env, jclass cls, jobject returnCallbackRef, jbyte* view,
                      jbyteArray array);

// Read-only view of a byte[]; null for a null array reference.
jbyte* ConvertBytes(JNIEnv* env, jclass cls, jbyteArray array);
void ConvertRelease(JNIEnv* env, jclass cls, jbyte* view, jbyteArray array);

// Writes `count` int values (the variable arguments) into elements 0 to
// count-1 of `array`. The caller makes sure the array holds that many.
void SetOutVariables(JNIEnv* env, jclass cls, jintArray array, int count, ...);

// Read-only views of elements 0 to count-1 of a byte[][] in a malloc'ed list
// that the caller frees after Release2DData. The caller makes sure the outer
// array holds `count` elements; a null inner array gets a null view.
jbyte** Convert2DData(JNIEnv* env, jclass cls, jobjectArray arrays, unsigned count);
void Release2DData(JNIEnv* env, jclass cls, jbyte** list, jobjectArray arrays, unsigned count);

// Read-only view of an int[]; null for a null array reference.
jint* ConvertIntArray(JNIEnv* env, jclass cls, jintArray array);
void ReleaseIntArray(JNIEnv* env, jclass cls, jint* view, jintArray array);

// Length of any Java array, or -1 for a null reference.
jint ArrayLength(JNIEnv* env, jclass cls, jarray array);

// Length of element `index` of a byte[][] (the caller checks the index), or
// -1 when that element is null.
jint InnerArrayLength(JNIEnv* env, jclass cls, jobjectArray arrays, jint index);

// Copies the first `count` elements of an int[] into `destination` without
// pinning it; elements the array lacks become 0. Returns how many existed.
jint CopyIntArrayPrefix(JNIEnv* env, jclass cls, jintArray array, jint* destination, jint count);

// The element type of a primitive array: 'B' for byte[], 'I' for int[], 0
// for a null reference or any other object. A caller that takes either
// learns the element size from it before pinning.
int PrimitiveArrayType(JNIEnv* env, jclass cls, jobject object);

// True when both references name the same object (both null included), e.g.
// an input array handed in again as the output.
int SameJavaObject(JNIEnv* env, jclass cls, jobject first, jobject second);

// A direct view of a primitive array's elements (GetPrimitiveArrayCritical),
// for large pictures that a copy would cost time for; null for a null
// reference or when the JVM refuses. No other JNI call may come until it is
// given back with UnpinCritical: JNI_ABORT for views that were only read, 0
// for views written.
void* PinCritical(JNIEnv* env, jclass cls, jarray array);
void UnpinCritical(JNIEnv* env, jclass cls, jarray array, void* view, jint mode);

#ifdef __cplusplus
}
#endif

#endif
