#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, once: packages
# already present are not installed again. Always: the native and Java
# toolchains, OpenH264, ffmpeg and GStreamer's discoverer (peers the tests
# check files against), Maven with the plugins that install the artifact and
# build the Maven consumer test offline (from /usr/share/maven-repo), and the
# cross compilers for the Windows x64 DLL (MinGW-w64) and the Linux arm64
# library (with Debian's arm64 OpenH264 through multiarch), since the jar
# carries all three. Extra sets, named as
# arguments: "windows" adds Wine to run the Windows tests; "aarch64" adds
# qemu-user to run the arm64 tests; "openh264" adds nasm to build OpenH264
# 1.7.0; "sanitizers" adds clang with its sanitizer and libFuzzer runtimes
# and the symbolizer for their reports; "browser" adds Chromium and installs
# puppeteer-core (pinned in java/src/test/browser/package-lock.json) from npm
# into build/browser-test, for the browser playback test.
set -eu
packages=(
  cmake g++ make pkg-config clang-format
  libopenh264-dev
  openjdk-17-jdk-headless
  junit5
  maven libmaven-install-plugin-java libmaven-resources-plugin-java libmaven-compiler-plugin-java
  libgtest-dev libgmock-dev googletest
  ffmpeg gstreamer1.0-tools gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++-aarch64-linux-gnu libopenh264-dev:arm64
)
browser=no
for set in "$@"; do
  case $set in
    windows) packages+=(wine64) ;;
    aarch64) packages+=(qemu-user) ;;
    openh264) packages+=(nasm) ;;
    sanitizers) packages+=(clang-14 libclang-rt-14-dev llvm-14) ;;
    browser)
      browser=yes
      packages+=(chromium)
      # Node.js may come from elsewhere (CI images have it in /usr/bin); Debian's otherwise.
      if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
        packages+=(nodejs npm)
      fi
      ;;
    *) echo "unknown package set: $set" >&2; exit 1 ;;
  esac
done
native=$(dpkg --print-architecture)
missing=()
for package in "${packages[@]}"; do
  # With both architectures of a package installed, its bare name is ambiguous.
  dpkg -s "$package" >/dev/null 2>&1 || dpkg -s "$package:$native" >/dev/null 2>&1 ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
  fi
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    "${as_root[@]}" dpkg --add-architecture arm64
  fi
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

if [ "$browser" = yes ]; then
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
