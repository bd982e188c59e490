// The natives through which Java loads OpenH264 and asks which release and
// file it runs with.
#include <jni.h>
#include <stdlib.h>

#include <mutex>
#include <string>

#include "bridge/java_strings.h"
#include "openh264/allocator_hint.h"
#include "openh264/library_search.h"
#include "openh264/release_binding.h"

namespace {

std::mutex loadMutex;

}  // namespace

// Null once OpenH264 is loaded (by this call or an earlier one); otherwise
// the report of every attempt.
extern "C" JNIEXPORT jstring JNICALL Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryLoad(
    JNIEnv* env, jclass, jstring requestedFile) {
  std::lock_guard<std::mutex> lock(loadMutex);
  if (BoundOpenH264() != nullptr) return nullptr;
  char* requested = CopyJavaString(env, requestedFile);
  if (requested == nullptr && requestedFile != nullptr) return nullptr;  // exception pending
  std::string report;
  bool loaded = tq::LoadOpenH264(requested == nullptr ? std::string() : requested, &report);
  free(requested);
  if (loaded) tq::PrepareAllocatorForCodecs(getenv("TQ_OPENH264_MALLOC_HINT"));
  return loaded ? nullptr : NewJavaString(env, report.c_str());
}

extern "C" JNIEXPORT jstring JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryRelease(JNIEnv* env, jclass) {
  const OpenH264Binding* binding = BoundOpenH264();
  return binding == nullptr ? nullptr : NewJavaString(env, binding->releaseText);
}

extern "C" JNIEXPORT jstring JNICALL
Java_tq_brindlecast_openh264_Native_OpenH264TQLibraryFile(JNIEnv* env, jclass) {
  const OpenH264Binding* binding = BoundOpenH264();
  return binding == nullptr ? nullptr : NewJavaString(env, binding->file);
}
