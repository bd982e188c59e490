#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "openh264/library_search.h"

namespace fuzzsupport {

namespace {

// Standard error as it was before SilenceCodecLogging.
FILE* reportStream = stderr;

}  // namespace

void SilenceCodecLogging() {
  // TQ_FUZZ_LOG=1 keeps the lines, for reading them while reproducing a crash.
  if (getenv("TQ_FUZZ_LOG") != nullptr) return;
  // OpenH264 writes through stdio's stderr, which glibc keeps in a plain
  // variable; descriptor 2 itself stays open for libFuzzer and the reports.
  FILE* devNull = fopen("/dev/null", "w");
  if (devNull != nullptr) stderr = devNull;
}

void RequireCleanJvm(const fakejni::FakeJvm& jvm, const char* step) {
  if (jvm.violations.empty() && jvm.ViewsHeld() == 0 && jvm.pendingException.empty()) return;
  fprintf(reportStream, "JNI misuse by %s: %s; %d views held; exception pending: %s\n", step,
          jvm.violations.empty() ? "no violation" : jvm.violations.front().c_str(), jvm.ViewsHeld(),
          jvm.pendingException.empty() ? "none" : jvm.pendingException.c_str());
  abort();
}

void LoadOpenH264() {
  const char* named = getenv("TQ_OPENH264_LIBRARY");
  std::string report;
  if (tq::LoadOpenH264(named == nullptr ? "" : named, &report)) return;
  fprintf(reportStream, "%s\n", report.c_str());
  abort();
}

void Require(bool condition, const char* message) {
  if (condition) return;
  fprintf(reportStream, "%s\n", message);
  abort();
}

}  // namespace fuzzsupport
