#!/usr/bin/env bash
# Cross-builds the Windows x64 DLL and the tests with MinGW-w64 in
# ./build-windows, checks the DLL's export table, and runs the unit tests
# under Wine; then the integration driver, with the real openh264-1.7.0.dll
# built from its source tarball (skipped, and said so, without the tarball).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows openh264
runtime=()
if prefix=$(scripts/build-openh264-1.7.sh mingw); then
  runtime=("-DTQ_OPENH264_RUNTIME_DLL=$prefix/lib/openh264-1.7.0.dll")
else
  status=$?
  [ "$status" -eq 2 ] || exit "$status"
  echo "== Windows integration against the real OpenH264 1.7.0 DLL: SKIPPED (no source tarball)"
fi
scripts/build-cross.sh windows "${runtime[@]}"
cmake --build build-windows -j "$(nproc)"
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
ctest --test-dir build-windows --output-on-failure
