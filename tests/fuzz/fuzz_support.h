// What both fuzz targets share: quiet codec logging, and the checks that a
// native call left the fake JVM as a real JVM would accept it.
#ifndef TQ_TESTS_FUZZ_FUZZ_SUPPORT_H
#define TQ_TESTS_FUZZ_FUZZ_SUPPORT_H

#include "tests/fakes/fake_jni.h"

namespace fuzzsupport {

// Sends OpenH264's log lines, which flood on fuzzed input, to /dev/null.
// libFuzzer and the sanitizers still report on standard error. Setting the
// environment variable TQ_FUZZ_LOG keeps the log lines.
void SilenceCodecLogging();

// Aborts with a report when the call named by `step` recorded a JNI
// violation, kept an array view or left an exception pending.
void RequireCleanJvm(const fakejni::FakeJvm& jvm, const char* step);

// Loads the real OpenH264 as the library does (TQ_OPENH264_LIBRARY names a
// file, or the search finds one); aborts with the report when none loads.
void LoadOpenH264();

// Aborts with the message when the condition is false.
void Require(bool condition, const char* message);

}  // namespace fuzzsupport

#endif
