// Base of the tests that run native code against the fake JVM. When a test
// ends, after the derived fixture has torn down, every element view must have
// been given back and no JNI rule may have been broken.
#ifndef TQ_TESTS_FAKES_FAKE_JVM_TEST_H
#define TQ_TESTS_FAKES_FAKE_JVM_TEST_H

#include <gtest/gtest.h>

#include "tests/fakes/fake_jni.h"

namespace fakejni {

class FakeJvmTest : public testing::Test {
 protected:
  ~FakeJvmTest() override {
    EXPECT_EQ(jvm.ViewsHeld(), 0);
    EXPECT_TRUE(jvm.violations.empty()) << jvm.violations.front();
  }

  JNIEnv* env() { return jvm.env(); }
  jclass cls() { return jvm.nativeClass(); }
  // A fake object seen as the JNI reference type the code under test takes.
  template <typename T>
  static T Ref(void* object) {
    return reinterpret_cast<T>(object);
  }

  FakeJvm jvm;
};

}  // namespace fakejni

#endif  // TQ_TESTS_FAKES_FAKE_JVM_TEST_H
