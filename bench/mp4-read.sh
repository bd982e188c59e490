#!/usr/bin/env bash
# What reading an MP4 file adds to decoding it: Mp4ReadBench decodes the
# video track's samples through Mp4Reader (from the file) and the same
# access units from memory, in alternating passes, and prints the ratio of
# their times. See bench/README.md.
#
# Settings (environment):
#   BENCH_BUILD_DIR  build directory (default: build-bench, shared with run.sh)
#   ROUNDS           JVMs run one after the other (default: 3)
#   PASSES           timed passes of each side per JVM (default: 20)
#   SIZE             picture size (default: 1280x720)
#   FRAMES           pictures in the file (default: 120)
#   BENCH_CPU        the CPU the JVM is pinned to (default: the last; "none" to leave it)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
rounds=${ROUNDS:-3}
passes=${PASSES:-20}
size=${SIZE:-1280x720}
frames=${FRAMES:-120}

echo "building in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_BUILD_TESTS=OFF \
  -DTQ_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target tqh264bridge_bench >/dev/null

work=$build/bench-work
mkdir -p "$work"
input=$work/read-$size-$frames.mp4
small=$work/read-warm-up.mp4
# libx264's defaults without B-frames, a key frame a second, the tool's default rate.
bitrate=$((${size%x*} * ${size#*x} * 2000 / (1280 * 720)))
ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=30" -frames:v "$frames" \
  -c:v libx264 -bf 0 -g 30 -b:v "${bitrate}k" "$input"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=160x120:rate=30" -frames:v 60 \
  -c:v libx264 -bf 0 -g 30 "$small"

cpu=${BENCH_CPU:-$(($(nproc) - 1))}
pin=()
if [[ $cpu != none ]] && command -v taskset >/dev/null; then
  pin=(taskset -c "$cpu")
fi
for ((round = 1; round <= rounds; round++)); do
  "${pin[@]}" java -XX:ActiveProcessorCount="$(nproc)" \
    "-Dtq.brindlecast.openh264.library=$build/libtqh264bridge.so" \
    -cp "$build/tqh264bridge.jar:$build/bench/tqh264bridge-bench.jar" \
    tq.brindlecast.openh264.bench.Mp4ReadBench "$input" "$passes" "$small" 2>>"$work/stderr.log" |
    grep '^summary' | sed "s/^summary/round=$round/"
done
