#!/usr/bin/env bash
# Configures and builds the library, the jar and the tests in ./build.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j "$(nproc)"
