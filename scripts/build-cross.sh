#!/usr/bin/env bash
# Cross-builds the native library for another platform the jar carries:
#   windows  build-windows/tqh264bridge.dll (MinGW-w64)
#   aarch64  build-aarch64/libtqh264bridge.so
# Further arguments go to cmake's configure step. Only the library is built
# here; scripts/test.sh builds and runs the tests in the same folders.
set -eu
cd "$(dirname "$0")/.."
target=${1:?usage: $0 windows|aarch64 [cmake options]}
shift
case $target in
  windows) options=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-x86_64.cmake -DTQ_BUILD_JAVA=OFF) ;;
  aarch64) options=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64-linux-gnu.cmake) ;;
  *) echo "unknown target $target (windows or aarch64)" >&2; exit 1 ;;
esac
cmake -S . -B "build-$target" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" "$@" >/dev/null
cmake --build "build-$target" -j "$(nproc)" --target tqh264bridge
