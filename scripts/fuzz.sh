#!/usr/bin/env bash
# Builds the libFuzzer targets in ./build-fuzz and runs each for a bounded
# time: the first argument or FUZZ_SECONDS, in seconds (default 60). Each
# starts from its seeds in tests/fuzz/corpus/<target>/ and keeps what it
# finds in build-fuzz/corpus/<target>/. A crash, leak, timeout or JNI misuse
# fails the run; the input that caused it is left as build-fuzz/<target>-*.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}
scripts/install-deps.sh sanitizers
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DTQ_FUZZ=ON -DTQ_BUILD_JAVA=OFF
cmake --build build-fuzz -j 2 --target tq_fuzz_decode tq_fuzz_config
export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
for target in decode config; do
  echo "== fuzzing $target for $seconds s"
  mkdir -p "build-fuzz/corpus/$target"
  "build-fuzz/tests/fuzz/tq_fuzz_$target" -max_total_time="$seconds" -timeout=10 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="build-fuzz/$target-" \
    "build-fuzz/corpus/$target" "tests/fuzz/corpus/$target"
done
