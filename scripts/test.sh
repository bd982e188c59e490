#!/usr/bin/env bash
# Every test: installs what is missing, builds (the jar carries the Linux
# x86_64, Windows x64 and Linux arm64 libraries), and runs the C++ and Java
# suites and the build checks through ctest with Debian's OpenH264 2.3.1;
# the same build against OpenH264 1.7.0, 2.1.0, 2.2.0 and 2.6.0 built from
# source (the integration driver, the release-matrix Java tests, the jar's
# round trip, and the whole Java suite on 2.6.0); the Windows DLL's checks,
# unit tests and integration against real OpenH264 1.7.0 and 2.6.0 DLLs
# under Wine; the arm64 unit tests and Java suite under qemu-user, with
# Debian's 2.3.1 and a cross-built 2.6.0; then the unit tests under
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
stage "Linux, every OpenH264 release" scripts/test-openh264-releases.sh
stage "Windows, under Wine" scripts/test-windows.sh
stage "Linux arm64, under qemu-user" scripts/test-aarch64.sh
stage "sanitizers" scripts/test-sanitizers.sh
stage "fuzzing" scripts/fuzz.sh
