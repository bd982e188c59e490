#!/usr/bin/env bash
# Builds one OpenH264 release from its source tarball, outside this tree,
# and prints the path of the library, named as OpenH264 publishes its own
# binaries:
#   linux    libopenh264-VERSION-linux64.N.so       (N: the release's soname number)
#   aarch64  libopenh264-VERSION-linux-arm64.N.so   (cross-built)
#   mingw    openh264-VERSION-win64.dll             (cross-built with MinGW-w64)
# Usage: scripts/build-openh264.sh VERSION linux|aarch64|mingw
# The tarball is openh264-VERSION-src.tar.gz in OPENH264_SOURCES (default:
# the shared folder beside the clone). Builds are kept in OPENH264_CACHE
# (default ~/.cache/tqh264bridge) under the release and the tarball's
# checksum, so a second run reuses them. Exits with 2, saying why, when the
# tarball is missing.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
version=${1:?usage: $0 VERSION linux|aarch64|mingw}
target=${2:?usage: $0 VERSION linux|aarch64|mingw}
sources=${OPENH264_SOURCES:-$repo/../shared/third_party}
tarball=$sources/openh264-$version-src.tar.gz
cache_root=${OPENH264_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tqh264bridge}

if [ ! -f "$tarball" ]; then
  echo "OpenH264 $version: no source tarball at $tarball (set OPENH264_SOURCES)" >&2
  exit 2
fi
checksum=$(sha256sum "$tarball" | cut -c1-16)
folder=$cache_root/openh264-$version-$checksum/$target
if [ -f "$folder/.complete" ]; then
  cat "$folder/.complete"
  exit 0
fi

mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
tar -xzf "$tarball" -C "$work"
source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
soname=$(sed -n 's/^SHAREDLIB_MAJORVERSION *= *\([0-9]*\).*/\1/p' "$source_dir/Makefile")
echo "OpenH264 $version: building for $target in $work" >&2
case $target in
  linux)
    make -C "$source_dir" -j 2 libopenh264.so >&2
    built=$source_dir/libopenh264.so.$soname
    name=libopenh264-$version-linux64.$soname.so
    ;;
  aarch64)
    cross=aarch64-linux-gnu
    make -C "$source_dir" -j 2 OS=linux ARCH=arm64 CC=$cross-gcc CXX=$cross-g++ AR=$cross-ar \
      libopenh264.so >&2
    built=$source_dir/libopenh264.so.$soname
    name=libopenh264-$version-linux-arm64.$soname.so
    ;;
  mingw)
    cross=x86_64-w64-mingw32
    make -C "$source_dir" -j 2 OS=mingw_nt ARCH=x86_64 \
      CC=$cross-gcc-posix CXX=$cross-g++-posix AR=$cross-ar \
      "SHLDFLAGS=-Wl,--out-implib,libopenh264.dll.a -static" libopenh264.dll >&2
    built=$source_dir/libopenh264.dll
    name=openh264-$version-win64.dll
    ;;
  *)
    echo "unknown target $target (linux, aarch64 or mingw)" >&2
    exit 1
    ;;
esac
stage=$work/stage
mkdir -p "$stage"
cp "$built" "$stage/$name"
echo "$folder/$name" >"$stage/.complete"
mkdir -p "$(dirname "$folder")"
rm -rf "$folder"
mv "$stage" "$folder"
cat "$folder/.complete"
