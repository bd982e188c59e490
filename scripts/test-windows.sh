#!/usr/bin/env bash
# Cross-builds the Windows x64 DLL and the tests with MinGW-w64 in
# ./build-windows, checks the DLL's export and import tables, and runs the
# unit tests under Wine; then the integration driver twice, each time with
# one real OpenH264 DLL beside the library, both built with MinGW from their
# source tarballs: 1.7.0 under the name earlier builds linked
# (openh264-1.7.0.dll), and 2.6.0 under OpenH264's own file name
# (openh264-2.6.0-win64.dll). A release whose tarball is missing is skipped,
# and said so.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows openh264
scripts/build-cross.sh windows
cmake --build build-windows -j "$(nproc)"
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
ctest --test-dir build-windows --output-on-failure -E '^integration$'

driver_dir=build-windows/tests/integration
for release in 1.7.0 2.6.0; do
  status=0
  built=$(scripts/build-openh264.sh "$release" mingw) || status=$?
  if [ "$status" -eq 2 ]; then
    echo "== Windows integration against OpenH264 $release: SKIPPED (no source tarball)"
    continue
  elif [ "$status" -ne 0 ]; then
    exit "$status"
  fi
  name=$(basename "$built")
  [ "$release" = 1.7.0 ] && name=openh264-1.7.0.dll
  rm -f "$driver_dir"/openh264-*.dll
  cp "$built" "$driver_dir/$name"
  echo "== Windows integration against OpenH264 $release as $name"
  ctest --test-dir build-windows --output-on-failure -V -R '^integration$' |
    tee build-windows/integration-$release.log
  grep -q "OpenH264 $release from .*$name" build-windows/integration-$release.log || {
    echo "the driver did not run with OpenH264 $release from $name"
    exit 1
  }
done
rm -f "$driver_dir"/openh264-*.dll
