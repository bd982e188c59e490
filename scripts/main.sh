#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the tool.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
java -jar build/tqh264bridge.jar "$@"
