#include "openh264/allocator_hint.h"

#include <stdlib.h>
#include <string.h>

namespace tq {

namespace {

// glibc serves a block above its mmap threshold (128 KiB at first) with its
// own mapping, and when such a block is freed it raises the threshold to the
// block's size and the trim threshold to twice that. Until a block of codec
// size has come and gone, the tens of megabytes an OpenH264 decoder or
// encoder frees when it is destroyed go back to the system at once (a
// thread's arena is trimmed on every large free), and the next one faults
// every page in again: a quarter of the CPU time of a grabber that starts a
// decoder per key-frame interval. The block stays under glibc's ceiling for
// the threshold (32 MiB on 64-bit systems), above which it would not adapt.
constexpr size_t kCodecSizedBlock = size_t{30} << 20;

}  // namespace

bool PrepareAllocatorForCodecs(const char* setting) {
#if defined(__GLIBC__)
  if (setting != nullptr && strcmp(setting, "off") == 0) return false;
  // Volatile, so that the compiler cannot drop the pair as unused.
  void* volatile block = malloc(kCodecSizedBlock);
  if (block == nullptr) return false;
  free(block);
  return true;
#else
  (void)setting;
  return false;
#endif
}

}  // namespace tq
