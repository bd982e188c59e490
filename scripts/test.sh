#!/usr/bin/env bash
# Every test: installs what is missing, builds, and runs the C++ and Java
# suites and the build checks through ctest; then cross-builds the Windows
# DLL and runs its checks and the unit tests under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j 2
scripts/test-windows.sh
