#!/usr/bin/env bash
# The writing benchmark in one command: what MP4 writing and BufferedImage conversion add to
# encoding the same pictures to Annex B, in one JVM on one CPU (see WriterBench and
# bench/README.md). Builds what it needs in the benchmark's build directory.
#
# Settings (environment): BENCH_BUILD_DIR (default: build-bench), SIZES (default:
# "1920x1080"), SOURCE the ffmpeg test source the pictures come from (default: testsrc2; the
# older testsrc is easier to encode), FRAMES pictures a pass (default: 30), PASSES per side
# (default: 15), HEAP the JVM's maximum heap (default: 3g; 200 pictures need about 6g),
# BENCH_CPU the CPU the JVM is pinned to (default: the last one; "none" to leave it unpinned),
# JAVA_OPTS.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
sizes=${SIZES:-1920x1080}
frames=${FRAMES:-30}
passes=${PASSES:-15}
source=${SOURCE:-testsrc2}

echo "building in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_BUILD_TESTS=OFF \
  -DTQ_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target tqh264bridge_bench >/dev/null

work=$build/bench-work/writer
mkdir -p "$work"
cpu=${BENCH_CPU:-$(($(nproc) - 1))}
pin=()
if [[ $cpu != none ]] && command -v taskset >/dev/null; then
  pin=(taskset -c "$cpu")
fi
# FOOTPRINT=1: instead of timing, one VideoWriter writes PICTURES (default 10000) small
# pictures, printing its resident memory every 1000 and the bytes written per media byte.
if [[ ${FOOTPRINT:-0} == 1 ]]; then
  # shellcheck disable=SC2086
  java ${JAVA_OPTS:-} -Xms256m -Xmx256m -XX:+AlwaysPreTouch \
    "-Dtq.brindlecast.openh264.library=$build/libtqh264bridge.so" \
    -cp "$build/tqh264bridge.jar:$build/bench/tqh264bridge-bench.jar" \
    tq.brindlecast.openh264.bench.WriterFootprint --size "${FOOTPRINT_SIZE:-320x240}" \
    --pictures "${PICTURES:-10000}" --every 1000 --work "$work"
  echo "load average (1, 5, 15 min): $(cut -d' ' -f1-3 /proc/loadavg)"
  exit 0
fi
for size in $sizes; do
  raw=$build/bench-work/input-$size.yuv
  [[ $source == testsrc2 ]] || raw=$build/bench-work/input-$source-$size.yuv
  bytes=$((${size%x*} * ${size#*x} * 3 * frames / 2))
  if [[ ! -f $raw || $(stat -c %s "$raw") -lt $bytes ]]; then
    ffmpeg -v error -f lavfi -i "$source=size=$size:rate=30" -frames:v "$frames" \
      -pix_fmt yuv420p -f rawvideo -y "$raw"
  fi
  # shellcheck disable=SC2086
  "${pin[@]}" java ${JAVA_OPTS:-} "-Xmx${HEAP:-3g}" "-Dtq.brindlecast.openh264.library=$build/libtqh264bridge.so" \
    -cp "$build/tqh264bridge.jar:$build/bench/tqh264bridge-bench.jar" \
    tq.brindlecast.openh264.bench.WriterBench --size "$size" --input "$raw" --frames "$frames" \
    --passes "$passes" --work "$work" 2> >(grep -v "^\[OpenH264\]" >&2)
done
