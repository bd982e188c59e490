#!/usr/bin/env bash
# Every test: installs what is missing, builds (the jar carries the Linux
# x86_64, Windows x64 and Linux arm64 libraries), and runs the C++ and Java
# suites and the build checks through ctest; the same suites against
# OpenH264 1.7.0 built from source; the Windows DLL's checks, unit tests and
# integration against the real OpenH264 1.7.0 DLL under Wine; the arm64
# unit tests and Java suite under qemu-user; then the unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzzer for a
# bounded time (FUZZ_SECONDS, default 60). Each stage's time is printed.
set -eu
cd "$(dirname "$0")/.."
stage() {
  local start=$SECONDS
  echo "== $1"
  shift
  "$@"
  echo "== took $((SECONDS - start)) s"
}
stage "installing what is missing" scripts/install-deps.sh windows aarch64 openh264 browser
stage "building" scripts/build.sh
stage "Linux suites, Debian's OpenH264" ctest --test-dir build --output-on-failure -j 2
stage "Linux suites, OpenH264 1.7.0" scripts/test-openh264-1.7.sh
stage "Windows, under Wine" scripts/test-windows.sh
stage "Linux arm64, under qemu-user" scripts/test-aarch64.sh
stage "sanitizers" scripts/test-sanitizers.sh
stage "fuzzing" scripts/fuzz.sh
