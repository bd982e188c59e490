#include "bridge/java_getters.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bridge/java_status.h"
#include "tests/fakes/fake_jni.h"
#include "tests/fakes/fake_jvm_test.h"

namespace {

using fakejni::Value;

class JavaGetters : public fakejni::FakeJvmTest {
 protected:
  void SetUp() override {
    configClass = jvm.NewClass("Config");
    config = reinterpret_cast<jobject>(jvm.NewObject(configClass, "config"));
  }
  fakejni::Class* configClass = nullptr;
  jobject config = nullptr;
};

TEST_F(JavaGetters, EachGetterIsLookedUpOnTheObjectsClassAtEveryCall) {
  configClass->Getter("getWidth", "()I", Value::Int(-7));
  EXPECT_EQ(GetIntValue(env(), cls(), config, "getWidth"), -7);
  EXPECT_EQ(GetIntValue(env(), cls(), config, "getWidth"), -7);
  std::vector<std::string> once = {"GetObjectClass config", "GetMethodID getWidth ()I",
                                   "CallIntMethod getWidth"};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(jvm.calls, twice);
}

TEST_F(JavaGetters, FloatAndCharValuesKeepTheirJavaMeaning) {
  configClass->Getter("getRate", "()F", Value::Float(29.97f));
  configClass->Getter("getFormat", "()C", Value::Char(0xFFFF));
  EXPECT_FLOAT_EQ(GetFloatValue(env(), cls(), config, "getRate"), 29.97f);
  int widened = GetCharValue(env(), cls(), config, "getFormat");
  EXPECT_EQ(widened, 65535);
}

TEST_F(JavaGetters, MissingGetterYieldsZeroAndLeavesNoSuchMethodErrorPending) {
  EXPECT_EQ(GetIntValue(env(), cls(), config, "getMissing"), 0);
  EXPECT_EQ(jvm.pendingException, "java/lang/NoSuchMethodError");
  EXPECT_TRUE(JavaExceptionPending(env()));
  EXPECT_TRUE(jvm.CallsStartingWith("CallIntMethod").empty());
}

TEST_F(JavaGetters, ThrowingGetterLeavesItsExceptionPending) {
  configClass->Getter("getName", "()Ljava/lang/String;", Value::Throw());
  EXPECT_EQ(GetStringValue(env(), cls(), config, "getName"), nullptr);
  EXPECT_FALSE(jvm.pendingException.empty());
  EXPECT_TRUE(jvm.CallsStartingWith("GetStringUTFChars").empty());
}

TEST_F(JavaGetters, NullObjectIsNeverTouched) {
  EXPECT_EQ(GetIntValue(env(), cls(), nullptr, "getWidth"), 0);
  EXPECT_EQ(GetStringValue(env(), cls(), nullptr, "getName"), nullptr);
  EXPECT_TRUE(jvm.calls.empty());
}

TEST_F(JavaGetters, StringGetterGivesAHeapCopyAndReleasesTheCharacters) {
  configClass->Getter("getName", "()Ljava/lang/String;", Value::Ref(jvm.NewString("clip.264")));
  char* copy = GetStringValue(env(), cls(), config, "getName");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "clip.264");
  free(copy);
  EXPECT_EQ(jvm.CallsStartingWith("ReleaseStringUTFChars").size(), 1u);
  EXPECT_TRUE(jvm.utfChars.empty());
}

TEST_F(JavaGetters, EmptyStringIsACopyAndNullStringIsNull) {
  configClass->Getter("getEmpty", "()Ljava/lang/String;", Value::Ref(jvm.NewString("")));
  configClass->Getter("getNull", "()Ljava/lang/String;", Value::Ref(nullptr));
  char* empty = GetStringValue(env(), cls(), config, "getEmpty");
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty, "");
  free(empty);
  EXPECT_EQ(GetStringValue(env(), cls(), config, "getNull"), nullptr);
}

TEST_F(JavaGetters, IntArrayCopiesTheByteCountAndLeavesTheRestOfTheDestination) {
  std::vector<jint> longer(40);
  for (int i = 0; i < 40; ++i) longer[i] = 100 + i;
  fakejni::IntArray* array = jvm.NewIntArray(longer, "slices");
  configClass->Getter("getSlices", "()[I", Value::Ref(array));
  std::vector<int32_t> destination(37, -1);
  GetIntArrayValues(env(), cls(), destination.data(), 140, config, "getSlices");
  for (int i = 0; i < 35; ++i) EXPECT_EQ(destination[i], 100 + i);
  EXPECT_EQ(destination[35], -1);
  EXPECT_EQ(destination[36], -1);
  EXPECT_EQ(array->releaseModes, (std::vector<jint>{JNI_ABORT}));
}

TEST_F(JavaGetters, ShortOrNullIntArrayIsZeroFilledPastItsEnd) {
  configClass->Getter("getShort", "()[I", Value::Ref(jvm.NewIntArray({1, 2}, "short")));
  configClass->Getter("getNull", "()[I", Value::Ref(nullptr));
  std::vector<int32_t> destination(35, -1);
  GetIntArrayValues(env(), cls(), destination.data(), 140, config, "getShort");
  EXPECT_EQ(destination[0], 1);
  EXPECT_EQ(destination[1], 2);
  for (int i = 2; i < 35; ++i) EXPECT_EQ(destination[i], 0) << i;

  std::fill(destination.begin(), destination.end(), -1);
  GetIntArrayValues(env(), cls(), destination.data(), 140, config, "getNull");
  for (int i = 0; i < 35; ++i) EXPECT_EQ(destination[i], 0) << i;
}

}  // namespace
