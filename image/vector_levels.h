// The instruction sets the fast conversions are compiled for. On x86_64 with
// GCC (Linux and MinGW alike) the loops are compiled three times, for the
// baseline (SSE2), for AVX2 and for x86-64-v4 (AVX-512, whose narrowing
// stores and permutes halve the time of AVX2 here), and each call runs the
// best one the CPU has. Elsewhere (arm64, whose baseline has NEON; clang)
// they are compiled once.
#ifndef TQ_IMAGE_VECTOR_LEVELS_H
#define TQ_IMAGE_VECTOR_LEVELS_H

#ifdef __cplusplus
extern "C" {
#endif

enum VectorLevel {
  kVectorBaseline = 0,
  kVectorAvx2 = 1,
  kVectorX86V4 = 2,
};

// The best level both this build and this CPU have; the fast conversions
// run at it.
int BestVectorLevel(void);

#ifdef __cplusplus
}
#endif

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define TQ_X86_LEVELS 1
#define TQ_TARGET_AVX2 __attribute__((target("avx2")))
#define TQ_TARGET_X86V4 __attribute__((target("arch=x86-64-v4")))
#else
#define TQ_X86_LEVELS 0
#endif

// The loops of a conversion are inlined into the function of each level, so
// that each compiles them for its instruction set.
#if defined(__GNUC__)
#define TQ_VECTOR_LOOP inline __attribute__((always_inline))
#else
#define TQ_VECTOR_LOOP inline
#endif

#endif
