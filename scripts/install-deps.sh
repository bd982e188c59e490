#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, once: packages
# already present are not installed again. With the argument "windows" it
# also installs the MinGW-w64 cross compiler and Wine for the Windows build;
# with "sanitizers", clang with its sanitizer and libFuzzer runtimes and the
# symbolizer for their reports. Without an argument it also installs, for the
# browser test, Chromium, and puppeteer-core (pinned in
# java/src/test/browser/package-lock.json) from npm into build/browser-test.
set -eu
packages=(
  cmake g++ make pkg-config clang-format
  libopenh264-dev
  openjdk-17-jdk-headless
  junit5
  libgtest-dev libgmock-dev googletest
  ffmpeg
)
if [ -z "${1:-}" ]; then
  packages+=(chromium)
  # Node.js may come from elsewhere (CI images have it in /usr/bin); Debian's otherwise.
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
  fi
fi
if [ "${1:-}" = windows ]; then
  packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64)
elif [ "${1:-}" = sanitizers ]; then
  packages+=(clang-14 libclang-rt-14-dev llvm-14)
fi
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

if [ -z "${1:-}" ]; then
  root=$(cd "$(dirname "$0")/.." && pwd)
  browser_test=$root/build/browser-test
  lock=$root/java/src/test/browser/package-lock.json
  if ! cmp -s "$lock" "$browser_test/package-lock.json" ||
    [ ! -d "$browser_test/node_modules/puppeteer-core" ]; then
    echo "Installing puppeteer-core into $browser_test"
    mkdir -p "$browser_test"
    cp "$root/java/src/test/browser/package.json" "$lock" "$browser_test/"
    npm ci --prefix "$browser_test" --no-audit --no-fund --loglevel=error
  fi
fi
