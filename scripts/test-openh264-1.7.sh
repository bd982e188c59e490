#!/usr/bin/env bash
# Runs the whole C++ and Java suites against OpenH264 1.7.0, built from its
# source tarball (see scripts/build-openh264-1.7.sh), in ./build-openh264-1.7.
# Without the tarball the stage is skipped, and says so.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh openh264
status=0
prefix=$(scripts/build-openh264-1.7.sh linux) || status=$?
if [ "$status" -eq 2 ]; then
  echo "== Linux suites against OpenH264 1.7.0: SKIPPED (no source tarball, see above)"
  exit 0
elif [ "$status" -ne 0 ]; then
  exit "$status"
fi
cmake -S . -B build-openh264-1.7 -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DOPENH264_ROOT=$prefix"
cmake --build build-openh264-1.7 -j "$(nproc)"
ctest --test-dir build-openh264-1.7 --output-on-failure -j 2
