#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, once: packages
# already present are not installed again. With the argument "windows" it
# also installs the MinGW-w64 cross compiler and Wine for the Windows build;
# with "sanitizers", clang with its sanitizer and libFuzzer runtimes and the
# symbolizer for their reports.
set -eu
packages=(
  cmake g++ make pkg-config clang-format
  libopenh264-dev
  openjdk-17-jdk-headless
  junit5
  libgtest-dev libgmock-dev googletest
  ffmpeg
)
if [ "${1:-}" = windows ]; then
  packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64)
elif [ "${1:-}" = sanitizers ]; then
  packages+=(clang-14 libclang-rt-14-dev llvm-14)
fi
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}"
