#include "bridge/message_channel.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/fake_jni.h"

namespace {

using fakejni::FakeJvm;
using fakejni::Value;

TEST(MessageChannel, ErrorSelectorReachesErrorCallbackAndOthersReachDebugCallback) {
  FakeJvm jvm;
  WriteMessage(jvm.env(), jvm.nativeClass(), 'E', "to error");
  WriteMessage(jvm.env(), jvm.nativeClass(), 'D', "to debug");
  WriteMessage(jvm.env(), jvm.nativeClass(), 0, "also to debug");
  EXPECT_EQ(jvm.errorMessages, (std::vector<std::string>{"to error"}));
  EXPECT_EQ(jvm.debugMessages, (std::vector<std::string>{"to debug", "also to debug"}));
  EXPECT_TRUE(jvm.violations.empty());
}

TEST(MessageChannel, LooksUpTheCallbackForEveryMessageAndAddsNothingToTheText) {
  FakeJvm jvm;
  WriteMessage(jvm.env(), jvm.nativeClass(), 'D', "openh264 encode: one");
  WriteMessage(jvm.env(), jvm.nativeClass(), 'D', "openh264 encode: two");
  EXPECT_EQ(jvm.CallsStartingWith("GetStaticMethodID DebugCallback (Ljava/lang/String;)V").size(),
            2u);
  EXPECT_EQ(jvm.debugMessages,
            (std::vector<std::string>{"openh264 encode: one", "openh264 encode: two"}));
  std::vector<std::string> expected = {
      "GetStaticMethodID DebugCallback (Ljava/lang/String;)V",
      "NewStringUTF openh264 encode: one",
      "CallStaticVoidMethod DebugCallback",
  };
  EXPECT_EQ(std::vector<std::string>(jvm.calls.begin(), jvm.calls.begin() + 3), expected);
}

TEST(MessageChannel, MissingCallbackDropsTheMessageAndClearsTheLookupFailure) {
  FakeJvm jvm;
  jvm.native()->Remove("ErrorCallback", "(Ljava/lang/String;)V");
  WriteMessage(jvm.env(), jvm.nativeClass(), 'E', "lost");
  EXPECT_TRUE(jvm.errorMessages.empty());
  EXPECT_TRUE(jvm.pendingException.empty());
  EXPECT_TRUE(jvm.CallsStartingWith("NewStringUTF").empty());
  EXPECT_TRUE(jvm.violations.empty());
}

TEST(MessageChannel, ThrowingCallbackIsClearedSoTheOperationCanGoOn) {
  FakeJvm jvm;
  jvm.native()->Define("DebugCallback", "(Ljava/lang/String;)V", true,
                       [](fakejni::Object*, const std::vector<Value>&) { return Value::Throw(); });
  WriteMessage(jvm.env(), jvm.nativeClass(), 'D', "thrown away");
  WriteMessage(jvm.env(), jvm.nativeClass(), 'E', "still delivered");
  EXPECT_TRUE(jvm.pendingException.empty());
  EXPECT_EQ(jvm.errorMessages, (std::vector<std::string>{"still delivered"}));
  EXPECT_TRUE(jvm.violations.empty());
}

TEST(MessageChannel, SendMessageFormatsAndCutsLongTextsAt255Characters) {
  FakeJvm jvm;
  SendMessage(jvm.env(), jvm.nativeClass(), 'D', "openh264 encode: layer %d of %ld", 3, 70000L);
  std::string longText(400, 'x');
  SendMessage(jvm.env(), jvm.nativeClass(), 'E', "%s", longText.c_str());
  ASSERT_EQ(jvm.debugMessages.size(), 1u);
  EXPECT_EQ(jvm.debugMessages[0], "openh264 encode: layer 3 of 70000");
  ASSERT_EQ(jvm.errorMessages.size(), 1u);
  EXPECT_EQ(jvm.errorMessages[0], std::string(255, 'x'));
}

TEST(MessageChannel, SelectorGeneratorsMakeNoJniCall) {
  FakeJvm jvm;
  EXPECT_EQ(GenerateErrorCallback(jvm.env(), jvm.nativeClass(), nullptr), 'E');
  EXPECT_EQ(GenerateDebugCallback(jvm.env(), jvm.nativeClass(), nullptr), 'D');
  EXPECT_TRUE(jvm.calls.empty());
}

}  // namespace
