#!/usr/bin/env bash
# Cross-builds the Windows x64 DLL and the unit tests with MinGW-w64 in
# ./build-windows, checks the DLL's export table, and runs the unit tests
# under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows
cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-x86_64.cmake -DTQ_BUILD_JAVA=OFF
cmake --build build-windows -j "$(nproc)"
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
ctest --test-dir build-windows --output-on-failure
