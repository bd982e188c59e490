#!/usr/bin/env bash
# Builds OpenH264 1.7.0 from its source tarball, outside this tree, and
# prints the prefix it was installed to:
#   linux  <prefix>/lib/libopenh264.so.4, include/wels, lib/pkgconfig/openh264.pc
#   mingw  <prefix>/lib/openh264-1.7.0.dll and its import library
#          libopenh264-1.7.0.dll.a, include/wels
# The tarball comes from OPENH264_1_7_TARBALL (default: the shared folder
# beside the clone). Builds are kept in OPENH264_1_7_CACHE (default
# ~/.cache/tqh264bridge) under the tarball's checksum, so a second run
# reuses them. Exits with 2, saying why, when the tarball is missing.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: $0 linux|mingw}
tarball=${OPENH264_1_7_TARBALL:-$repo/../shared/third_party/openh264-1.7.0-src.tar.gz}
cache_root=${OPENH264_1_7_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tqh264bridge}

if [ ! -f "$tarball" ]; then
  echo "OpenH264 1.7.0: skipped, no source tarball at $tarball (set OPENH264_1_7_TARBALL)" >&2
  exit 2
fi
checksum=$(sha256sum "$tarball" | cut -c1-16)
prefix=$cache_root/openh264-1.7.0-$checksum/$target
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d "$cache_root/build.XXXXXX" 2>/dev/null || { mkdir -p "$cache_root" && mktemp -d "$cache_root/build.XXXXXX"; })
trap 'rm -rf "$work"' EXIT
tar -xzf "$tarball" -C "$work"
source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
# Installed with DESTDIR, so the .pc file names the final prefix.
stage=$work/dest$prefix
echo "OpenH264 1.7.0: building for $target in $work" >&2
case $target in
  linux)
    make -C "$source_dir" -j 2 PREFIX="$prefix" DESTDIR="$work/dest" install-shared >&2
    ;;
  mingw)
    mingw=x86_64-w64-mingw32
    make -C "$source_dir" -j 2 OS=mingw_nt ARCH=x86_64 \
      CC=$mingw-gcc-posix CXX=$mingw-g++-posix AR=$mingw-ar \
      "SHLDFLAGS=-Wl,--out-implib,libopenh264.dll.a -static" libopenh264.dll >&2
    make -C "$source_dir" PREFIX="$prefix" DESTDIR="$work/dest" install-headers >&2
    mkdir -p "$stage/lib"
    cp "$source_dir/libopenh264.dll" "$stage/lib/openh264-1.7.0.dll"
    # The import library names the DLL by the file name it is released under.
    {
      echo 'LIBRARY "openh264-1.7.0.dll"'
      echo EXPORTS
      $mingw-objdump -p "$stage/lib/openh264-1.7.0.dll" |
        sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ {print "  " $NF}'
    } >"$work/openh264-1.7.0.def"
    $mingw-dlltool --input-def "$work/openh264-1.7.0.def" --dllname openh264-1.7.0.dll \
      --output-lib "$stage/lib/libopenh264-1.7.0.dll.a"
    ;;
  *)
    echo "unknown target $target (linux or mingw)" >&2
    exit 1
    ;;
esac
touch "$stage/.complete"
mkdir -p "$(dirname "$prefix")"
rm -rf "$prefix"
mv "$stage" "$prefix"
echo "$prefix"
