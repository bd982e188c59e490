#!/usr/bin/env bash
# Runs the Linux arm64 build's tests under qemu-user (binfmt_misc is left
# alone): the C++ unit tests, the export check and the integration driver,
# and the JUnit suite and the soak in Debian's arm64 JVM (scripts/arm64-jvm.sh),
# all with Debian's arm64 OpenH264 2.3.1; then the integration driver and the
# release-matrix Java tests with OpenH264 2.6.0 cross-built from its tarball.
# The soak runs interpreted there: qemu's translation of JIT-compiled code
# grows resident memory by itself. Then the jar of ./build, with every
# platform's library, makes the same round trip on arm64 as on x86_64.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh aarch64
java_arm64=$(scripts/arm64-jvm.sh)
scripts/build-cross.sh aarch64 "-DJava_JAVA_EXECUTABLE=$java_arm64"
cmake --build build-aarch64 -j "$(nproc)"
ctest --test-dir build-aarch64 --output-on-failure -j 2 -E '^soak_short$'
JAVA_TOOL_OPTIONS=-Xint ctest --test-dir build-aarch64 --output-on-failure -R '^soak_short$'

status=0
openh264=$(scripts/build-openh264.sh 2.6.0 aarch64) || status=$?
if [ "$status" -eq 0 ]; then
  echo "== arm64 with OpenH264 2.6.0 ($(basename "$openh264"))"
  TQ_OPENH264_LIBRARY=$openh264 ctest --test-dir build-aarch64 --output-on-failure -V \
    -R '^integration$' | tee build-aarch64/integration-2.6.0.log
  grep -q "OpenH264 2.6.0 from $openh264" build-aarch64/integration-2.6.0.log
  TQ_OPENH264_LIBRARY=$openh264 TQ_JUNIT_ARGS="--include-tag release-matrix" \
    ctest --test-dir build-aarch64 --output-on-failure -R '^java_tests$'
elif [ "$status" -eq 2 ]; then
  echo "== arm64 with OpenH264 2.6.0: SKIPPED (no source tarball)"
else
  exit "$status"
fi

roundtrip=(roundtrip --size 640x360 --frames 30)
"$java_arm64" -jar build/tqh264bridge.jar "${roundtrip[@]}" --output build-aarch64/roundtrip.h264
java -jar build/tqh264bridge.jar "${roundtrip[@]}" --output build/roundtrip-x86_64.h264
if ! cmp build-aarch64/roundtrip.h264 build/roundtrip-x86_64.h264; then
  echo "the arm64 round trip's stream differs from the x86_64 one"
  exit 1
fi
echo "== the jar's round trip on arm64 gives the same stream as on x86_64"
