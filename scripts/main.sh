#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the tool. Without
# arguments it encodes and decodes the built-in 1280x720 test pattern and
# prints the round-trip summary; with arguments it runs the tool with them.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ $# -eq 0 ]; then
  set -- roundtrip --size 1280x720 --frames 120 --output build/roundtrip.h264
fi
java -jar build/tqh264bridge.jar "$@"
