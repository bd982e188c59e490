// Checks, in a process of its own (glibc's thresholds are process-wide and
// only rise), that the allocator hint has glibc serve a codec-sized block
// from its arena instead of a mapping of its own, and that "off" leaves the
// thresholds alone.
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>

#include "openh264/allocator_hint.h"

namespace {

bool ServedByItsOwnMapping(size_t size) {
  size_t before = mallinfo2().hblks;
  void* volatile block = malloc(size);
  bool mapped = mallinfo2().hblks > before;
  free(block);  // a mapped block raises the thresholds to its size
  return mapped;
}

int Fail(const char* what) {
  fprintf(stderr, "allocator hint: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  constexpr size_t kMiB = size_t{1} << 20;
  if (tq::PrepareAllocatorForCodecs("off")) return Fail("\"off\" was not honoured");
  if (!ServedByItsOwnMapping(16 * kMiB)) return Fail("a fresh process did not map 16 MiB");
  if (!ServedByItsOwnMapping(24 * kMiB)) return Fail("\"off\" raised the thresholds");
  if (!tq::PrepareAllocatorForCodecs(nullptr)) return Fail("the hint was not given");
  if (ServedByItsOwnMapping(28 * kMiB)) return Fail("28 MiB was still mapped after the hint");
  puts("allocator hint: codec-sized blocks come from the arena");
  return 0;
}
