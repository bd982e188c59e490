#!/usr/bin/env bash
# Builds the C++ unit tests with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer in ./build-sanitizers and runs them; any
# finding fails the run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh sanitizers
cmake -S . -B build-sanitizers -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DTQ_SANITIZE=ON -DTQ_BUILD_JAVA=OFF
cmake --build build-sanitizers -j 2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
ctest --test-dir build-sanitizers --output-on-failure -j 2
