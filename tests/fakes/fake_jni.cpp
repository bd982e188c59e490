#include "tests/fakes/fake_jni.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace fakejni {

Method* Class::Define(const std::string& methodName, const std::string& signature, bool isStatic,
                      MethodBody body) {
  auto method = std::make_unique<Method>();
  method->name = methodName;
  method->signature = signature;
  method->isStatic = isStatic;
  method->body = std::move(body);
  Method* result = method.get();
  methods[{methodName, signature}] = std::move(method);
  return result;
}

void Class::Remove(const std::string& methodName, const std::string& signature) {
  methods.erase({methodName, signature});
}

void Class::Getter(const std::string& methodName, const std::string& signature, Value result) {
  Define(methodName, signature, false,
         [result](Object*, const std::vector<Value>&) { return result; });
}

namespace {

template <typename T>
T* As(void* reference) {
  return dynamic_cast<T*>(reinterpret_cast<Object*>(reference));
}

std::string NameOf(void* reference) {
  Object* object = reinterpret_cast<Object*>(reference);
  return object == nullptr ? "null" : object->name;
}

std::string ModeName(jint mode) {
  if (mode == 0) return "0";
  if (mode == JNI_COMMIT) return "JNI_COMMIT";
  if (mode == JNI_ABORT) return "JNI_ABORT";
  return "mode" + std::to_string(mode);
}

// Logs the call and records a violation when an exception is pending, since
// a real JVM allows only a few calls in that state.
void Enter(FakeJvm& jvm, const std::string& call, bool allowedWithException = false) {
  jvm.calls.push_back(call);
  if (!allowedWithException && !jvm.pendingException.empty()) {
    jvm.violations.push_back(call + " with " + jvm.pendingException + " pending");
  }
  // Inside a critical region only further critical pins and releases are allowed.
  bool critical = call.find("PrimitiveArrayCritical") != std::string::npos;
  if (jvm.criticalViews > 0 && !critical) {
    jvm.violations.push_back(call + " inside a critical region");
  }
}

void Violation(FakeJvm& jvm, const std::string& what) {
  jvm.violations.push_back(what);
}

// Reads the arguments of a method call from a va_list by its signature.
std::vector<Value> ReadArguments(const std::string& signature, va_list arguments) {
  std::vector<Value> values;
  size_t i = 1;
  while (i < signature.size() && signature[i] != ')') {
    char type = signature[i];
    if (type == 'I' || type == 'C' || type == 'Z' || type == 'B' || type == 'S') {
      values.push_back(Value::Int(va_arg(arguments, jint)));
      ++i;
    } else if (type == 'F' || type == 'D') {
      values.push_back(Value::Float(static_cast<jfloat>(va_arg(arguments, jdouble))));
      ++i;
    } else {
      values.push_back(Value::Ref(reinterpret_cast<Object*>(va_arg(arguments, jobject))));
      while (signature[i] == '[') ++i;
      if (signature[i] == 'L') i = signature.find(';', i);
      ++i;
    }
  }
  return values;
}

Value Invoke(FakeJvm& jvm, const char* kind, Object* self, jmethodID id, va_list arguments) {
  Method* method = reinterpret_cast<Method*>(id);
  if (method == nullptr) {
    Enter(jvm, std::string(kind) + " <null method>");
    Violation(jvm, std::string(kind) + " through a null method ID");
    return Value();
  }
  Enter(jvm, std::string(kind) + " " + method->name);
  std::vector<Value> values = ReadArguments(method->signature, arguments);
  Value result = method->body(self, values);
  if (result.throws) {
    jvm.pendingException = "java/lang/RuntimeException";
    return Value();
  }
  return result;
}

jmethodID LookUp(FakeJvm& jvm, Class* cls, const char* name, const char* signature, bool isStatic) {
  if (cls == nullptr) {
    Violation(jvm, std::string("method lookup on a null class: ") + name);
    return nullptr;
  }
  auto found = cls->methods.find({name, signature});
  if (found == cls->methods.end() || found->second->isStatic != isStatic) {
    jvm.pendingException = "java/lang/NoSuchMethodError";
    return nullptr;
  }
  return reinterpret_cast<jmethodID>(found->second.get());
}

jmethodID JNICALL GetStaticMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, std::string("GetStaticMethodID ") + name + " " + sig);
  return LookUp(jvm, As<Class>(cls), name, sig, true);
}

jmethodID JNICALL GetMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, std::string("GetMethodID ") + name + " " + sig);
  return LookUp(jvm, As<Class>(cls), name, sig, false);
}

jclass JNICALL GetObjectClass(JNIEnv* env, jobject object) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "GetObjectClass " + NameOf(object));
  Object* target = reinterpret_cast<Object*>(object);
  if (target == nullptr) {
    Violation(jvm, "GetObjectClass on null");
    return nullptr;
  }
  return reinterpret_cast<jclass>(target->cls);
}

// The C++ JNIEnv wrappers forward variadic calls to the va_list variants.
void JNICALL CallStaticVoidMethodV(JNIEnv* env, jclass, jmethodID method, va_list arguments) {
  Invoke(FakeJvm::From(env), "CallStaticVoidMethod", nullptr, method, arguments);
}

jobject JNICALL CallStaticObjectMethodV(JNIEnv* env, jclass, jmethodID method, va_list arguments) {
  Value result = Invoke(FakeJvm::From(env), "CallStaticObjectMethod", nullptr, method, arguments);
  return reinterpret_cast<jobject>(result.l);
}

Object* Receiver(FakeJvm& jvm, jobject object, const char* kind) {
  if (object == nullptr) Violation(jvm, std::string(kind) + " on a null object");
  return reinterpret_cast<Object*>(object);
}

Value InvokeOn(JNIEnv* env, const char* kind, jobject object, jmethodID method, va_list arguments) {
  FakeJvm& jvm = FakeJvm::From(env);
  return Invoke(jvm, kind, Receiver(jvm, object, kind), method, arguments);
}

jint JNICALL CallIntMethodV(JNIEnv* env, jobject object, jmethodID method, va_list arguments) {
  return InvokeOn(env, "CallIntMethod", object, method, arguments).i;
}

jfloat JNICALL CallFloatMethodV(JNIEnv* env, jobject object, jmethodID method, va_list arguments) {
  return InvokeOn(env, "CallFloatMethod", object, method, arguments).f;
}

jchar JNICALL CallCharMethodV(JNIEnv* env, jobject object, jmethodID method, va_list arguments) {
  return InvokeOn(env, "CallCharMethod", object, method, arguments).c;
}

jobject JNICALL CallObjectMethodV(JNIEnv* env, jobject object, jmethodID method,
                                  va_list arguments) {
  return reinterpret_cast<jobject>(InvokeOn(env, "CallObjectMethod", object, method, arguments).l);
}

jstring JNICALL NewStringUTF(JNIEnv* env, const char* utf) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, std::string("NewStringUTF ") + (utf == nullptr ? "<null>" : utf));
  if (utf == nullptr) return nullptr;
  return reinterpret_cast<jstring>(jvm.NewString(utf));
}

const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring string, jboolean* isCopy) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "GetStringUTFChars " + NameOf(string));
  String* target = As<String>(string);
  if (target == nullptr) {
    Violation(jvm, "GetStringUTFChars on null");
    return nullptr;
  }
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  char* chars = strdup(target->utf.c_str());
  jvm.utfChars[chars] = target->name;
  return chars;
}

void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring string, const char* chars) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "ReleaseStringUTFChars " + NameOf(string), true);
  if (jvm.utfChars.erase(chars) == 0) {
    Violation(jvm, "ReleaseStringUTFChars of unknown characters");
    return;
  }
  free(const_cast<char*>(chars));
}

template <typename T>
T* Pin(FakeJvm& jvm, const char* kind, jarray reference, jboolean* isCopy) {
  Enter(jvm, std::string(kind) + " " + NameOf(reference));
  Array<T>* array = As<Array<T>>(reference);
  if (array == nullptr) {
    Violation(jvm, std::string(kind) + " on null");
    return nullptr;
  }
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  // Like HotSpot, hand out a copy, so a missing copy-back shows.
  size_t bytes = array->elements.size() * sizeof(T);
  T* view = static_cast<T*>(malloc(bytes == 0 ? 1 : bytes));
  if (bytes != 0) memcpy(view, array->elements.data(), bytes);
  ++array->pins;
  jvm.views[view] = FakeJvm::View{array, view};
  return view;
}

template <typename T>
void Unpin(FakeJvm& jvm, const char* kind, jarray reference, void* view, jint mode) {
  Enter(jvm, std::string(kind) + " " + NameOf(reference) + " " + ModeName(mode), true);
  Array<T>* array = As<Array<T>>(reference);
  auto found = jvm.views.find(view);
  if (array == nullptr || found == jvm.views.end() || found->second.array != array) {
    Violation(jvm, std::string(kind) + " of a view that " + NameOf(reference) + " did not give");
    return;
  }
  if (mode == 0 || mode == JNI_COMMIT) {
    memcpy(array->elements.data(), view, array->elements.size() * sizeof(T));
  }
  if (mode == JNI_COMMIT) return;
  array->releaseModes.push_back(mode);
  jvm.views.erase(found);
  free(view);
}

jbyte* JNICALL GetByteArrayElements(JNIEnv* env, jbyteArray array, jboolean* isCopy) {
  return Pin<jbyte>(FakeJvm::From(env), "GetByteArrayElements", array, isCopy);
}

void JNICALL ReleaseByteArrayElements(JNIEnv* env, jbyteArray array, jbyte* view, jint mode) {
  Unpin<jbyte>(FakeJvm::From(env), "ReleaseByteArrayElements", array, view, mode);
}

jint* JNICALL GetIntArrayElements(JNIEnv* env, jintArray array, jboolean* isCopy) {
  return Pin<jint>(FakeJvm::From(env), "GetIntArrayElements", array, isCopy);
}

void JNICALL ReleaseIntArrayElements(JNIEnv* env, jintArray array, jint* view, jint mode) {
  Unpin<jint>(FakeJvm::From(env), "ReleaseIntArrayElements", array, view, mode);
}

// A view of any primitive array, logged with the element type in front.
void* JNICALL GetPrimitiveArrayCritical(JNIEnv* env, jarray array, jboolean* isCopy) {
  FakeJvm& jvm = FakeJvm::From(env);
  void* view = nullptr;
  Object* object = reinterpret_cast<Object*>(array);
  if (dynamic_cast<IntArray*>(object) != nullptr) {
    view = Pin<jint>(jvm, "GetPrimitiveArrayCritical", array, isCopy);
  } else {
    view = Pin<jbyte>(jvm, "GetPrimitiveArrayCritical", array, isCopy);
  }
  if (view != nullptr) ++jvm.criticalViews;
  return view;
}

void JNICALL ReleasePrimitiveArrayCritical(JNIEnv* env, jarray array, void* view, jint mode) {
  FakeJvm& jvm = FakeJvm::From(env);
  size_t released = jvm.views.size();
  if (dynamic_cast<IntArray*>(reinterpret_cast<Object*>(array)) != nullptr) {
    Unpin<jint>(jvm, "ReleasePrimitiveArrayCritical", array, view, mode);
  } else {
    Unpin<jbyte>(jvm, "ReleasePrimitiveArrayCritical", array, view, mode);
  }
  if (jvm.views.size() < released) --jvm.criticalViews;
}

// Array classes by descriptor ("[B", "[I"); any other name is not found.
jclass JNICALL FindClass(JNIEnv* env, const char* name) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, std::string("FindClass ") + name);
  Class* found = jvm.ArrayClass(name);
  if (found == nullptr) jvm.pendingException = "java/lang/NoClassDefFoundError";
  return reinterpret_cast<jclass>(found);
}

// As in JNI, a null reference is an instance of every class.
jboolean JNICALL IsInstanceOf(JNIEnv* env, jobject object, jclass cls) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "IsInstanceOf " + NameOf(object) + " " + NameOf(cls));
  Object* target = reinterpret_cast<Object*>(object);
  Class* type = As<Class>(cls);
  if (type == nullptr) {
    Violation(jvm, "IsInstanceOf with a null class");
    return JNI_FALSE;
  }
  if (target == nullptr) return JNI_TRUE;
  if (type->name == "[B") return dynamic_cast<ByteArray*>(target) != nullptr;
  if (type->name == "[I") return dynamic_cast<IntArray*>(target) != nullptr;
  return target->cls == type;
}

jboolean JNICALL IsSameObject(JNIEnv* env, jobject a, jobject b) {
  Enter(FakeJvm::From(env), "IsSameObject " + NameOf(a) + " " + NameOf(b));
  return a == b ? JNI_TRUE : JNI_FALSE;
}

jsize JNICALL GetArrayLength(JNIEnv* env, jarray array) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "GetArrayLength " + NameOf(array));
  Object* object = reinterpret_cast<Object*>(array);
  if (auto* bytes = dynamic_cast<ByteArray*>(object)) return (jsize)bytes->elements.size();
  if (auto* ints = dynamic_cast<IntArray*>(object)) return (jsize)ints->elements.size();
  if (auto* objects = dynamic_cast<ObjectArray*>(object)) return (jsize)objects->elements.size();
  Violation(jvm, "GetArrayLength on " + NameOf(array));
  return 0;
}

jobject JNICALL GetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "GetObjectArrayElement " + NameOf(array) + " " + std::to_string(index));
  ObjectArray* target = As<ObjectArray>(array);
  if (target == nullptr || index < 0 || (size_t)index >= target->elements.size()) {
    Violation(jvm, "GetObjectArrayElement out of range or on null");
    jvm.pendingException = "java/lang/ArrayIndexOutOfBoundsException";
    return nullptr;
  }
  return reinterpret_cast<jobject>(target->elements[index]);
}

void JNICALL GetIntArrayRegion(JNIEnv* env, jintArray array, jsize start, jsize length,
                               jint* buffer) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "GetIntArrayRegion " + NameOf(array) + " " + std::to_string(start) + " " +
                 std::to_string(length));
  IntArray* target = As<IntArray>(array);
  if (target == nullptr || start < 0 || length < 0 ||
      (size_t)start + (size_t)length > target->elements.size()) {
    Violation(jvm, "GetIntArrayRegion out of range or on null");
    jvm.pendingException = "java/lang/ArrayIndexOutOfBoundsException";
    return;
  }
  memcpy(buffer, target->elements.data() + start, (size_t)length * sizeof(jint));
}

jboolean JNICALL ExceptionCheck(JNIEnv* env) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "ExceptionCheck", true);
  return jvm.pendingException.empty() ? JNI_FALSE : JNI_TRUE;
}

void JNICALL ExceptionClear(JNIEnv* env) {
  FakeJvm& jvm = FakeJvm::From(env);
  Enter(jvm, "ExceptionClear", true);
  jvm.pendingException.clear();
}

jint JNICALL EnsureLocalCapacity(JNIEnv* env, jint capacity) {
  Enter(FakeJvm::From(env), "EnsureLocalCapacity " + std::to_string(capacity));
  return 0;
}

void JNICALL DeleteLocalRef(JNIEnv* env, jobject object) {
  Enter(FakeJvm::From(env), "DeleteLocalRef " + NameOf(object), true);
}

std::string JavaString(Object* object) {
  String* string = dynamic_cast<String*>(object);
  return string == nullptr ? "<not a string>" : string->utf;
}

// The JNI functions the library uses, pointing at the fakes; every other
// entry is null, so a call the fakes do not know crashes the test at once.
void FillFunctionTable(JNINativeInterface_* table) {
  memset(table, 0, sizeof *table);
  table->GetStaticMethodID = GetStaticMethodID;
  table->GetMethodID = GetMethodID;
  table->GetObjectClass = GetObjectClass;
  table->CallStaticVoidMethodV = CallStaticVoidMethodV;
  table->CallStaticObjectMethodV = CallStaticObjectMethodV;
  table->CallIntMethodV = CallIntMethodV;
  table->CallFloatMethodV = CallFloatMethodV;
  table->CallCharMethodV = CallCharMethodV;
  table->CallObjectMethodV = CallObjectMethodV;
  table->NewStringUTF = NewStringUTF;
  table->GetStringUTFChars = GetStringUTFChars;
  table->ReleaseStringUTFChars = ReleaseStringUTFChars;
  table->GetByteArrayElements = GetByteArrayElements;
  table->ReleaseByteArrayElements = ReleaseByteArrayElements;
  table->GetIntArrayElements = GetIntArrayElements;
  table->ReleaseIntArrayElements = ReleaseIntArrayElements;
  table->GetPrimitiveArrayCritical = GetPrimitiveArrayCritical;
  table->ReleasePrimitiveArrayCritical = ReleasePrimitiveArrayCritical;
  table->FindClass = FindClass;
  table->IsInstanceOf = IsInstanceOf;
  table->IsSameObject = IsSameObject;
  table->GetArrayLength = GetArrayLength;
  table->GetObjectArrayElement = GetObjectArrayElement;
  table->GetIntArrayRegion = GetIntArrayRegion;
  table->ExceptionCheck = ExceptionCheck;
  table->ExceptionClear = ExceptionClear;
  table->DeleteLocalRef = DeleteLocalRef;
  table->EnsureLocalCapacity = EnsureLocalCapacity;
}

}  // namespace

FakeJvm::FakeJvm() {
  FillFunctionTable(&table_);
  holder_.env.functions = &table_;
  holder_.jvm = this;

  native_ = NewClass("tq/brindlecast/openh264/Native");
  native_->Define("ErrorCallback", "(Ljava/lang/String;)V", true,
                  [this](Object*, const std::vector<Value>& arguments) {
                    errorMessages.push_back(JavaString(arguments.at(0).l));
                    return Value();
                  });
  native_->Define("DebugCallback", "(Ljava/lang/String;)V", true,
                  [this](Object*, const std::vector<Value>& arguments) {
                    debugMessages.push_back(JavaString(arguments.at(0).l));
                    return Value();
                  });
  native_->Define("AllocCallback", "(I)[B", true,
                  [this](Object*, const std::vector<Value>& arguments) {
                    jint size = arguments.at(0).i;
                    allocRequests.push_back(size);
                    if (size < 0) return Value::Throw();
                    ByteArray* array = NewByteArray(std::vector<jbyte>((size_t)size), "allocated");
                    allocated.push_back(array);
                    return Value::Ref(array);
                  });
}

FakeJvm::~FakeJvm() {
  for (auto& view : views) free(view.first);
  for (auto& chars : utfChars) free(const_cast<char*>(chars.first));
}

Class* FakeJvm::NewClass(const std::string& name) {
  Class* cls = Adopt(new Class());
  cls->name = name;
  return cls;
}

Object* FakeJvm::NewObject(Class* cls, const std::string& name) {
  Object* object = Adopt(new Object());
  object->cls = cls;
  object->name = name;
  return object;
}

ByteArray* FakeJvm::NewByteArray(std::vector<jbyte> elements, const std::string& name) {
  ByteArray* array = Adopt(new ByteArray());
  array->elements = std::move(elements);
  array->name = name;
  return array;
}

IntArray* FakeJvm::NewIntArray(std::vector<jint> elements, const std::string& name) {
  IntArray* array = Adopt(new IntArray());
  array->elements = std::move(elements);
  array->name = name;
  return array;
}

ObjectArray* FakeJvm::NewObjectArray(std::vector<Object*> elements, const std::string& name) {
  ObjectArray* array = Adopt(new ObjectArray());
  array->elements = std::move(elements);
  array->name = name;
  return array;
}

String* FakeJvm::NewString(const std::string& utf, const std::string& name) {
  String* string = Adopt(new String());
  string->utf = utf;
  string->name = name;
  return string;
}

Class* FakeJvm::ArrayClass(const std::string& descriptor) {
  if (descriptor != "[B" && descriptor != "[I") return nullptr;
  Class*& cls = arrayClasses_[descriptor];
  if (cls == nullptr) cls = NewClass(descriptor);
  return cls;
}

std::vector<std::string> FakeJvm::CallsStartingWith(const std::string& prefix) const {
  std::vector<std::string> matching;
  for (const std::string& call : calls) {
    if (call.compare(0, prefix.size(), prefix) == 0) matching.push_back(call);
  }
  return matching;
}

int FakeJvm::ViewsHeld() const {
  return static_cast<int>(views.size());
}

int FakeJvm::IndexOfCall(const std::string& call) const {
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] == call) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace fakejni
