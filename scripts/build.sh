#!/usr/bin/env bash
# Configures and builds the library, the jar and the tests in ./build. The
# jar carries the library for Linux x86_64, and the Windows x64 and Linux
# arm64 libraries cross-built first in ./build-windows and ./build-aarch64.
set -eu
cd "$(dirname "$0")/.."
scripts/build-cross.sh windows
scripts/build-cross.sh aarch64
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DTQ_JAR_EXTRA_NATIVES=windows-x86_64=$PWD/build-windows/tqh264bridge.dll;linux-aarch64=$PWD/build-aarch64/libtqh264bridge.so" \
  "$@"
cmake --build build -j "$(nproc)"
