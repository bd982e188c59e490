#!/usr/bin/env bash
# Every test: installs what is missing, builds, and runs the C++ and Java
# suites and the build checks through ctest, then the same suites against
# OpenH264 1.7.0 built from source; then cross-builds the Windows
# DLL and runs its checks and the unit tests under Wine; then runs the unit
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, and each
# fuzzer for a bounded time (FUZZ_SECONDS, default 60).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j 2
scripts/test-openh264-1.7.sh
scripts/test-windows.sh
scripts/test-sanitizers.sh
scripts/fuzz.sh
