// The fast conversions are compiled three times on x86_64 Linux, for
// x86-64-v4 (AVX-512: its narrowing stores and permutes halve the time of
// AVX2 here), for AVX2 and for any x86_64, and the loader picks one by the
// CPU (an ifunc). MinGW and
// macOS have no ifunc: there, and on arm64 (NEON is always there), they are
// compiled once.
#ifndef TQ_IMAGE_VECTOR_CLONES_H
#define TQ_IMAGE_VECTOR_CLONES_H

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define TQ_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define TQ_VECTOR_CLONES
#endif

// The loops of a conversion are inlined into its cloned function, so that
// each clone compiles them for its instruction set.
#if defined(__GNUC__)
#define TQ_VECTOR_LOOP inline __attribute__((always_inline))
#else
#define TQ_VECTOR_LOOP inline
#endif

#endif
