// A small, honest stand-in for a JVM: a real JNIEnv whose function table
// points at fakes for the functions the library uses. Arrays know their
// elements and record every pin and release with its mode; classes know their
// methods by name and signature; every JNI call is written to a call log.
// The fakes never assert: tests assert on what they recorded.
#ifndef TQ_TESTS_FAKES_FAKE_JNI_H
#define TQ_TESTS_FAKES_FAKE_JNI_H

#include <jni.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fakejni {

class FakeJvm;
struct Class;

struct Object {
  virtual ~Object() = default;
  Class* cls = nullptr;
  std::string name;  // how the call log refers to it
};

// A value passed to or returned from a fake Java method.
struct Value {
  jint i = 0;
  jfloat f = 0;
  jchar c = 0;
  Object* l = nullptr;
  bool throws = false;  // the method throws instead of returning

  static Value Int(jint v) {
    Value x;
    x.i = v;
    return x;
  }
  static Value Float(jfloat v) {
    Value x;
    x.f = v;
    return x;
  }
  static Value Char(jchar v) {
    Value x;
    x.c = v;
    return x;
  }
  static Value Ref(Object* v) {
    Value x;
    x.l = v;
    return x;
  }
  static Value Throw() {
    Value x;
    x.throws = true;
    return x;
  }
};

using MethodBody = std::function<Value(Object* self, const std::vector<Value>& arguments)>;

struct Method {
  std::string name;
  std::string signature;
  bool isStatic = false;
  MethodBody body;
};

struct Class : Object {
  std::map<std::pair<std::string, std::string>, std::unique_ptr<Method>> methods;
  // Adds or replaces a method.
  Method* Define(const std::string& methodName, const std::string& signature, bool isStatic,
                 MethodBody body);
  void Remove(const std::string& methodName, const std::string& signature);
  // An instance getter with no arguments that returns a fixed value.
  void Getter(const std::string& methodName, const std::string& signature, Value result);
};

template <typename T>
struct Array : Object {
  std::vector<T> elements;
  int pins = 0;                    // views handed out
  std::vector<jint> releaseModes;  // one entry per release, in order
  int Held() const { return pins - static_cast<int>(releaseModes.size()); }
};

using ByteArray = Array<jbyte>;
using IntArray = Array<jint>;

struct ObjectArray : Object {
  std::vector<Object*> elements;
};

struct String : Object {
  std::string utf;
};

class FakeJvm {
 public:
  FakeJvm();
  ~FakeJvm();
  FakeJvm(const FakeJvm&) = delete;
  FakeJvm& operator=(const FakeJvm&) = delete;

  JNIEnv* env() { return &holder_.env; }

  // The class Native with ErrorCallback, DebugCallback and AllocCallback.
  Class* native() { return native_; }
  jclass nativeClass() { return reinterpret_cast<jclass>(native_); }

  Class* NewClass(const std::string& name);
  Object* NewObject(Class* cls, const std::string& name = "object");
  ByteArray* NewByteArray(std::vector<jbyte> elements, const std::string& name = "bytes");
  IntArray* NewIntArray(std::vector<jint> elements, const std::string& name = "ints");
  ObjectArray* NewObjectArray(std::vector<Object*> elements, const std::string& name = "objects");
  String* NewString(const std::string& utf, const std::string& name = "string");

  // Messages delivered to Native.ErrorCallback / Native.DebugCallback.
  std::vector<std::string> errorMessages;
  std::vector<std::string> debugMessages;
  // Arrays handed out by Native.AllocCallback, in order.
  std::vector<ByteArray*> allocated;
  // Sizes requested from AllocCallback.
  std::vector<jint> allocRequests;

  // Every JNI call, e.g. "GetByteArrayElements plane0".
  std::vector<std::string> calls;
  // Calls that a real JVM would reject or crash on (null references, calls
  // with an exception pending, unknown views, out-of-range indices).
  std::vector<std::string> violations;

  // Critical views (GetPrimitiveArrayCritical) handed out and not yet given
  // back; any other JNI call meanwhile is a violation.
  int criticalViews = 0;

  // The class of byte[] ("[B") or int[] ("[I"), as FindClass gives it; null
  // for other names.
  Class* ArrayClass(const std::string& descriptor);

  // The pending exception's class name, or empty.
  std::string pendingException;

  // Calls of the log that start with the prefix.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
  // Number of element views handed out and not yet released, of all arrays.
  int ViewsHeld() const;
  // Index of the first call-log entry equal to `call`, or -1.
  int IndexOfCall(const std::string& call) const;

  // Implementation details used by the JNI function table.
  struct Holder {
    JNIEnv env;
    FakeJvm* jvm;
  };
  static FakeJvm& From(JNIEnv* env) { return *reinterpret_cast<Holder*>(env)->jvm; }
  template <typename T>
  T* Adopt(T* object) {
    objects_.emplace_back(object);
    return object;
  }
  struct View {
    Object* array;
    void* data;
  };
  std::map<void*, View> views;
  std::map<const char*, std::string> utfChars;

 private:
  Holder holder_;
  JNINativeInterface_ table_;
  std::vector<std::unique_ptr<Object>> objects_;
  Class* native_;
  std::map<std::string, Class*> arrayClasses_;
};

}  // namespace fakejni

#endif
