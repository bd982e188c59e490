#!/usr/bin/env bash
# The one build of ./build against every OpenH264 soname: 1.7.0 (.so.4),
# 2.1.0 (.so.5), 2.2.0 (.so.6) and 2.6.0 (.so.8) built from their source
# tarballs (scripts/build-openh264.sh), and Debian's 2.3.1 (.so.7). For each
# release, with only that one to be found:
#   - the integration driver, finding it under OpenH264's own file name on
#     the library path, with ffmpeg as the judge;
#   - the release-matrix subset of the Java suite, with the file named by
#     TQ_OPENH264_LIBRARY;
#   - the jar's round trip, which must report the release.
# Then the whole Java suite against 2.6.0 (the Linux stage runs it against
# 2.3.1). A release whose tarball is missing is skipped, and said so.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh openh264
work=$PWD/build/openh264-releases
rm -rf "$work"
mkdir -p "$work"
summary=()

# Runs the checks against the OpenH264 file $2 of release $1.
check_release() {
  local release=$1 file=$2 folder
  folder=$(dirname "$file")
  echo "== OpenH264 $release: integration driver, found as $(basename "$file") on the library path"
  LD_LIBRARY_PATH=$folder tests/integration/run-integration.sh "$work/integration-$release" \
    "$PWD/build/tests/integration/tq_integration_driver" | tee "$work/integration-$release.log"
  grep -q "OpenH264 $release from $file" "$work/integration-$release.log" || {
    echo "the driver did not run with OpenH264 $release from $file"
    return 1
  }
  echo "== OpenH264 $release: the release-matrix Java tests"
  TQ_OPENH264_LIBRARY=$file TQ_JUNIT_ARGS="--include-tag release-matrix" \
    ctest --test-dir build -R '^java_tests$' --output-on-failure
  echo "== OpenH264 $release: the jar's round trip"
  TQ_OPENH264_LIBRARY=$file java -jar build/tqh264bridge.jar --version | tee "$work/version.txt"
  grep -q "^OpenH264 $release from $file\$" "$work/version.txt"
  TQ_OPENH264_LIBRARY=$file java -jar build/tqh264bridge.jar roundtrip --size 640x360 \
    --frames 30 --output "$work/roundtrip-$release.h264"
  summary+=("OpenH264 $release ($(basename "$file")): integration, release-matrix tests, round trip passed")
}

for release in 1.7.0 2.1.0 2.2.0 2.6.0; do
  status=0
  built=$(scripts/build-openh264.sh "$release" linux) || status=$?
  if [ "$status" -eq 2 ]; then
    summary+=("OpenH264 $release: SKIPPED, no source tarball")
    continue
  elif [ "$status" -ne 0 ]; then
    exit "$status"
  fi
  mkdir -p "$work/$release"
  cp "$built" "$work/$release/"
  check_release "$release" "$work/$release/$(basename "$built")"
done
debian=$(readlink -f /usr/lib/x86_64-linux-gnu/libopenh264.so.7)
mkdir -p "$work/2.3.1"
cp "$debian" "$work/2.3.1/libopenh264.so.7"
check_release 2.3.1 "$work/2.3.1/libopenh264.so.7"

if [ -f "$work/2.6.0/libopenh264-2.6.0-linux64.8.so" ]; then
  echo "== OpenH264 2.6.0: the whole Java suite"
  TQ_OPENH264_LIBRARY=$work/2.6.0/libopenh264-2.6.0-linux64.8.so \
    ctest --test-dir build -R '^java_tests$' --output-on-failure
  summary+=("OpenH264 2.6.0: the whole Java suite passed")
fi
printf '%s\n' "${summary[@]}"
