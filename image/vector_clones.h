// The fast conversions are compiled twice on x86_64 Linux, for AVX2 and for
// any x86_64, and the loader picks one by the CPU (an ifunc). MinGW and
// macOS have no ifunc: there, and on arm64 (NEON is always there), they are
// compiled once.
#ifndef TQ_IMAGE_VECTOR_CLONES_H
#define TQ_IMAGE_VECTOR_CLONES_H

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define TQ_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TQ_VECTOR_CLONES
#endif

#endif
