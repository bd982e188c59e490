#include "image/vector_levels.h"

extern "C" int BestVectorLevel(void) {
#if TQ_X86_LEVELS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("x86-64-v4")) return kVectorX86V4;
  if (__builtin_cpu_supports("avx2")) return kVectorAvx2;
#endif
  return kVectorBaseline;
}
