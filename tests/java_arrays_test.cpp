#include "bridge/java_arrays.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/fakes/fake_jni.h"
#include "tests/fakes/fake_jvm_test.h"

namespace {

using fakejni::ByteArray;
using fakejni::IntArray;
using fakejni::Value;

class JavaArrays : public fakejni::FakeJvmTest {};

TEST_F(JavaArrays, AllocatedBytesReachJavaThroughReturnData) {
  jbyteArray array = nullptr;
  jbyte* view = AllocateData(env(), cls(), nullptr, 4, &array);
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(jvm.allocated.size(), 1u);
  EXPECT_EQ(array, Ref<jbyteArray>(jvm.allocated[0]));
  for (int i = 0; i < 4; ++i) view[i] = static_cast<jbyte>(10 + i);
  EXPECT_EQ(ReturnData(env(), cls(), nullptr, view, array), array);
  EXPECT_EQ(jvm.allocated[0]->elements, (std::vector<jbyte>{10, 11, 12, 13}));
  EXPECT_EQ(jvm.allocated[0]->releaseModes, (std::vector<jint>{0}));
  EXPECT_EQ(jvm.allocRequests, (std::vector<jint>{4}));
  EXPECT_EQ(jvm.calls[0], "GetStaticMethodID AllocCallback (I)[B");
  EXPECT_EQ(jvm.calls[1], "CallStaticObjectMethod AllocCallback");
}

TEST_F(JavaArrays, AllocationFailuresGiveNoViewAndNoArray) {
  jbyteArray array = Ref<jbyteArray>(&jvm);

  jvm.native()->Define("AllocCallback", "(I)[B", true,
                       [](fakejni::Object*, const std::vector<Value>&) { return Value(); });
  EXPECT_EQ(AllocateData(env(), cls(), nullptr, 8, &array), nullptr) << "null array";
  EXPECT_EQ(array, nullptr);

  ByteArray* shortArray = jvm.NewByteArray(std::vector<jbyte>(7), "short");
  jvm.native()->Define(
      "AllocCallback", "(I)[B", true,
      [shortArray](fakejni::Object*, const std::vector<Value>&) { return Value::Ref(shortArray); });
  EXPECT_EQ(AllocateData(env(), cls(), nullptr, 8, &array), nullptr) << "short array";
  EXPECT_EQ(shortArray->pins, 0);
  EXPECT_TRUE(jvm.pendingException.empty());
}

TEST_F(JavaArrays, AllocationThatThrowsLeavesTheExceptionForTheCaller) {
  jbyteArray array = nullptr;
  EXPECT_EQ(AllocateData(env(), cls(), nullptr, -1, &array), nullptr);
  EXPECT_EQ(jvm.pendingException, "java/lang/RuntimeException");
  EXPECT_TRUE(jvm.CallsStartingWith("GetArrayLength").empty());
  EXPECT_TRUE(jvm.CallsStartingWith("GetByteArrayElements").empty());
}

TEST_F(JavaArrays, MissingAllocCallbackIsNeverCalled) {
  jvm.native()->Remove("AllocCallback", "(I)[B");
  jbyteArray array = nullptr;
  EXPECT_EQ(AllocateData(env(), cls(), nullptr, 8, &array), nullptr);
  EXPECT_EQ(jvm.pendingException, "java/lang/NoSuchMethodError");
  EXPECT_EQ(jvm.calls.size(), 1u);
}

TEST_F(JavaArrays, InputViewsAreReleasedWithoutCopyBack) {
  ByteArray* bytes = jvm.NewByteArray({1, 2, 3}, "input");
  jbyte* view = ConvertBytes(env(), cls(), Ref<jbyteArray>(bytes));
  ASSERT_NE(view, nullptr);
  view[0] = 99;
  ConvertRelease(env(), cls(), view, Ref<jbyteArray>(bytes));
  EXPECT_EQ(bytes->elements, (std::vector<jbyte>{1, 2, 3}));
  EXPECT_EQ(bytes->releaseModes, (std::vector<jint>{JNI_ABORT}));

  IntArray* ints = jvm.NewIntArray({4, 5}, "ints");
  jint* intView = ConvertIntArray(env(), cls(), Ref<jintArray>(ints));
  intView[1] = 77;
  ReleaseIntArray(env(), cls(), intView, Ref<jintArray>(ints));
  EXPECT_EQ(ints->elements, (std::vector<jint>{4, 5}));
  EXPECT_EQ(ints->releaseModes, (std::vector<jint>{JNI_ABORT}));
}

TEST_F(JavaArrays, NullByteArrayIsNeverPinned) {
  EXPECT_EQ(ConvertBytes(env(), cls(), nullptr), nullptr);
  ConvertRelease(env(), cls(), nullptr, nullptr);
  EXPECT_EQ(jvm.calls, (std::vector<std::string>{"IsSameObject null null"}));
}

TEST_F(JavaArrays, SetOutVariablesWritesOnlyTheCountedElements) {
  IntArray* out = jvm.NewIntArray({7, 8, 9}, "out");
  SetOutVariables(env(), cls(), Ref<jintArray>(out), 1, 1234);
  EXPECT_EQ(out->elements, (std::vector<jint>{1234, 8, 9}));
  SetOutVariables(env(), cls(), Ref<jintArray>(out), 3, -1, -2, -3);
  EXPECT_EQ(out->elements, (std::vector<jint>{-1, -2, -3}));
  EXPECT_EQ(out->releaseModes, (std::vector<jint>{0, 0}));
}

TEST_F(JavaArrays, SetOutVariablesWithNoCountStillPinsAndChangesNothing) {
  IntArray* out = jvm.NewIntArray({7, 8, 9}, "out");
  SetOutVariables(env(), cls(), Ref<jintArray>(out), 0);
  SetOutVariables(env(), cls(), Ref<jintArray>(out), -5);
  EXPECT_EQ(out->elements, (std::vector<jint>{7, 8, 9}));
  EXPECT_EQ(out->pins, 2);
}

TEST_F(JavaArrays, PlaneListPinsEachPlaneInOrderAndReleasesWithoutCopyBack) {
  ByteArray* y = jvm.NewByteArray({1, 1}, "y");
  ByteArray* u = jvm.NewByteArray({2}, "u");
  ByteArray* v = jvm.NewByteArray({3}, "v");
  ByteArray* extra = jvm.NewByteArray({4}, "extra");
  auto planes = Ref<jobjectArray>(jvm.NewObjectArray({y, u, v, extra}, "planes"));
  jbyte** list = Convert2DData(env(), cls(), planes, 3);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list[0][1], 1);
  EXPECT_EQ(list[2][0], 3);
  list[1][0] = 50;
  Release2DData(env(), cls(), list, planes, 3);
  free(list);
  EXPECT_EQ(u->elements, (std::vector<jbyte>{2}));
  EXPECT_EQ(extra->pins, 0);
  std::vector<std::string> expected = {
      "GetObjectArrayElement planes 0", "GetByteArrayElements y",
      "GetObjectArrayElement planes 1", "GetByteArrayElements u",
      "GetObjectArrayElement planes 2", "GetByteArrayElements v",
      "GetObjectArrayElement planes 0", "ReleaseByteArrayElements y JNI_ABORT",
      "GetObjectArrayElement planes 1", "ReleaseByteArrayElements u JNI_ABORT",
      "GetObjectArrayElement planes 2", "ReleaseByteArrayElements v JNI_ABORT",
  };
  EXPECT_EQ(jvm.calls, expected);
}

TEST_F(JavaArrays, NullPlaneGetsANullViewAndIsNotReleased) {
  ByteArray* y = jvm.NewByteArray({1}, "y");
  auto planes = Ref<jobjectArray>(jvm.NewObjectArray({y, nullptr}, "planes"));
  jbyte** list = Convert2DData(env(), cls(), planes, 2);
  EXPECT_EQ(list[1], nullptr);
  Release2DData(env(), cls(), list, planes, 2);
  free(list);
  EXPECT_EQ(jvm.CallsStartingWith("ReleaseByteArrayElements").size(), 1u);
}

TEST_F(JavaArrays, LengthsAndPrefixCopiesNeverReadPastTheArray) {
  IntArray* ints = jvm.NewIntArray({5, 6, 7}, "strides");
  EXPECT_EQ(ArrayLength(env(), cls(), Ref<jarray>(ints)), 3);
  EXPECT_EQ(ArrayLength(env(), cls(), nullptr), -1);

  jint four[4] = {-9, -9, -9, -9};
  EXPECT_EQ(CopyIntArrayPrefix(env(), cls(), Ref<jintArray>(ints), four, 4), 3);
  EXPECT_EQ(std::vector<jint>(four, four + 4), (std::vector<jint>{5, 6, 7, 0}));
  EXPECT_EQ(CopyIntArrayPrefix(env(), cls(), nullptr, four, 4), 0);
  EXPECT_EQ(std::vector<jint>(four, four + 4), (std::vector<jint>{0, 0, 0, 0}));
  EXPECT_EQ(ints->pins, 0);

  ByteArray* plane = jvm.NewByteArray(std::vector<jbyte>(10), "plane");
  auto planes = Ref<jobjectArray>(jvm.NewObjectArray({plane, nullptr}, "planes"));
  EXPECT_EQ(InnerArrayLength(env(), cls(), planes, 0), 10);
  EXPECT_EQ(InnerArrayLength(env(), cls(), planes, 1), -1);
}

}  // namespace
