// Guards for what the Java array bridge functions hand out. Each guard owns
// the result of one bridge call and gives it back with the matching bridge
// function when it leaves scope, so every early return releases everything
// and the JNI calls are the ones a hand-written release would make.
#ifndef TQ_BRIDGE_SCOPED_JAVA_H
#define TQ_BRIDGE_SCOPED_JAVA_H

#include <jni.h>

namespace tq {

// A guard gives back what it holds exactly once: it is never copied.
class NotCopied {
 protected:
  NotCopied() = default;
  ~NotCopied() = default;

 public:
  NotCopied(const NotCopied&) = delete;
  NotCopied& operator=(const NotCopied&) = delete;
};

// Read-only views of the first `count` byte[] elements of a byte[][]
// (Convert2DData), given back with Release2DData; the list is then freed.
class ScopedPlaneViews : NotCopied {
 public:
  ScopedPlaneViews(JNIEnv* env, jclass cls, jobjectArray arrays, unsigned count);
  ~ScopedPlaneViews();

  // True when every element could be pinned.
  bool AllPinned() const;
  jbyte* operator[](unsigned index) const { return list_[index]; }

 private:
  JNIEnv* env_;
  jclass cls_;
  jobjectArray arrays_;
  unsigned count_;
  jbyte** list_;
};

// A read-only view of a byte[] (ConvertBytes), given back with
// ConvertRelease. A null array gives a null view and no JNI array call.
class ScopedBytes : NotCopied {
 public:
  ScopedBytes(JNIEnv* env, jclass cls, jbyteArray array);
  ~ScopedBytes();

  jbyte* get() const { return view_; }

 private:
  JNIEnv* env_;
  jclass cls_;
  jbyteArray array_;
  jbyte* view_;
};

// A new byte[] from Native.AllocCallback with a writable view of it
// (AllocateData). Return() hands the written bytes to Java (ReturnData);
// a guard that leaves scope without Return() gives the view back without
// copying (ConvertRelease), and Java never sees the array.
class ScopedOutputArray : NotCopied {
 public:
  ScopedOutputArray(JNIEnv* env, jclass cls, jobject allocCallbackRef, jint size);
  ~ScopedOutputArray();

  // Null when AllocCallback gave no usable array.
  jbyte* view() const { return view_; }
  jbyteArray Return(jobject returnCallbackRef);

 private:
  JNIEnv* env_;
  jclass cls_;
  jbyteArray array_;
  jbyte* view_;
};

// A direct view of a primitive array's elements (PinCritical), given back
// with UnpinCritical: with copy-back when the guard was made for writing,
// JNI_ABORT otherwise. No other JNI call may come while it is held.
class ScopedCriticalArray : NotCopied {
 public:
  enum Use { kRead, kWrite };
  ScopedCriticalArray(JNIEnv* env, jclass cls, jarray array, Use use);
  ~ScopedCriticalArray();

  // Null for a null array or when the JVM refused.
  void* get() const { return view_; }

 private:
  JNIEnv* env_;
  jclass cls_;
  jarray array_;
  Use use_;
  void* view_;
};

}  // namespace tq

#endif
