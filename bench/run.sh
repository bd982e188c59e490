#!/usr/bin/env bash
# The overhead benchmark in one command: builds what it needs in its own
# build directory, makes the input pictures, checks that the library's
# bytes and pictures equal plain OpenH264's, then times both sides in turns
# and prints, per case, the pictures per second and the ratio
# (library time / native time). See bench/README.md.
#
# Settings (environment):
#   BENCH_BUILD_DIR  build directory (default: build-bench)
#   ROUNDS           runs of each case, each in new processes, the side that starts
#                    swapped each time (default: 10)
#   PASSES           timed passes of each side per run (default: 12)
#   SIZES            picture sizes (default: "1280x720 1920x1080")
#   FRAMES           pictures per pass (default: 30)
#   OPS              what to time (default: "encode decode")
#   BENCH_CPU        the CPU both drivers are pinned to while timed (default: the last one;
#                    "none" to leave them unpinned)
#   JAVA_OPTS        extra options for the JVM
#   JAVA_SIDES       the Java sides timed, comma-separated (default: jni,api,api-planes when
#                    encoding, jni,api,api-reuse when decoding); image-mp4 and image-bgr-mp4
#                    (encoding) and mp4-images, mp4-images-new and mp4-images-reuse
#                    (decoding) go between BufferedImages and MP4,
#                    i420-mp4 writes the I420 pictures themselves with VideoWriter
#   WRITER           1: the native encoder takes VideoWriter's defaults (IDR every 2 s,
#                    constant SPS/PPS ids) and starts anew every pass, as image-mp4 does
# `bench/run.sh --quick` is a smoke run: one round, one pass, 20 pictures.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
rounds=${ROUNDS:-10}
passes=${PASSES:-12}
sizes=${SIZES:-1280x720 1920x1080}
frames=${FRAMES:-30}
ops=${OPS:-encode decode}
if [[ ${1:-} == --quick ]]; then
  rounds=1 passes=1 frames=20
fi

echo "building in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_BUILD_TESTS=OFF \
  -DTQ_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target tq_bench_native tqh264bridge_bench >/dev/null

work=$build/bench-work
mkdir -p "$work"
log=$work/stderr.log
: >"$log"
results=$work/results.txt
: >"$results"

native=("$build/bench/tq_bench_native")
# Timed runs put both drivers on one CPU: the two CPUs of a virtual machine
# can differ in speed for seconds at a time, and a side that landed on the
# faster one would look faster. The JVM keeps the ergonomics of the whole
# machine (G1 and its thread counts) all the same.
cpu=${BENCH_CPU:-$(($(nproc) - 1))}
pin=()
if [[ $cpu != none ]] && command -v taskset >/dev/null; then
  pin=(taskset -c "$cpu")
  JAVA_OPTS="-XX:ActiveProcessorCount=$(nproc) ${JAVA_OPTS:-}"
fi
# shellcheck disable=SC2206
java=(java ${JAVA_OPTS:-} "-Dtq.brindlecast.openh264.library=$build/libtqh264bridge.so"
  -cp "$build/tqh264bridge.jar:$build/bench/tqh264bridge-bench.jar"
  tq.brindlecast.openh264.bench.BenchMain)

# The tool's default rate: 2000 units of 1024 bit/s at 1280x720, in
# proportion to the area (4500 at 1920x1080).
bitrate_for() {
  local w=${1%x*} h=${1#*x}
  echo $((w * h * 2000 / (1280 * 720)))
}

# The input: ffmpeg's testsrc2 pattern, made once per size before any timing.
make_input() {
  local size=$1 raw=$work/input-$1.yuv
  local bytes=$((${size%x*} * ${size#*x} * 3 * frames / 2))
  if [[ ! -f $raw || $(stat -c %s "$raw") -lt $bytes ]]; then
    ffmpeg -v error -f lavfi -i "testsrc2=size=$size:rate=30" -frames:v "$frames" \
      -pix_fmt yuv420p -f rawvideo -y "$raw"
  fi
}

same() {
  if ! cmp -s "$1" "$2"; then
    echo "MISMATCH: $1 and $2 differ" >&2
    exit 1
  fi
}

# Untimed: the library's encoded bytes and decoded pictures against the
# native driver's (and the decoded pictures against ffmpeg's as well).
check_equivalence() {
  local size=$1 raw=$work/input-$1.yuv out=$work/check-$1
  "${native[@]}" encode --size "$size" --input "$raw" --frames "$frames" \
    --bitrate "$(bitrate_for "$size")" --passes 0 --output "$out-native.h264" 2>>"$log"
  "${java[@]}" encode --size "$size" --input "$raw" --frames "$frames" \
    --bitrate "$(bitrate_for "$size")" --passes 0 --output-prefix "$out" 2>>"$log"
  for side in jni api api-planes; do
    same "$out-native.h264" "$out-$side.h264"
    same "$out-native.h264.sizes" "$out-$side.h264.sizes"
  done
  "${native[@]}" decode --size "$size" --input "$out-native.h264" \
    --sizes "$out-native.h264.sizes" --passes 0 --output "$out-native.yuv" 2>>"$log"
  "${java[@]}" decode --size "$size" --input "$out-native.h264" \
    --sizes "$out-native.h264.sizes" --passes 0 --output-prefix "$out" 2>>"$log"
  ffmpeg -v error -i "$out-native.h264" -f rawvideo -pix_fmt yuv420p -y "$out-ffmpeg.yuv"
  # The same access units in an MP4 file, for the mp4-images side.
  ffmpeg -v error -framerate 30 -i "$out-native.h264" -c copy -y "$out-native.mp4"
  for side in jni api api-reuse ffmpeg; do
    same "$out-native.yuv" "$out-$side.yuv"
  done
  echo "equivalence $size: encoded bytes equal (jni, api, api-planes)," \
    "decoded pictures equal (jni, api, api-reuse, ffmpeg)" >&2
}

# The arguments of one case for either driver (the Java driver names its
# output prefix differently, but the timed passes write no outputs).
case_args() {
  local op=$1 size=$2 stream=$work/check-$2-native.h264
  if [[ $op == encode ]]; then
    echo encode --size "$size" --input "$work/input-$size.yuv" --frames "$frames" \
      --bitrate "$(bitrate_for "$size")" --passes "$passes"
  else
    echo decode --size "$size" --input "$stream" --sizes "$stream.sizes" --passes "$passes"
  fi
}

# What only one driver takes.
native_args() {
  if [[ $1 == encode && ${WRITER:-0} == 1 ]]; then echo --writer 1; fi
}
java_args() {
  if [[ -n ${JAVA_SIDES:-} ]]; then echo --sides "$JAVA_SIDES"; fi
  if [[ $1 == decode ]]; then echo --mp4 "$work/check-$2-native.mp4"; fi
}

# Runs both drivers on one case at once; they take turns pass by pass
# through two FIFOs, so that only one of them runs at any time and a change
# in the machine's load falls on both. `first` is the side that starts.
run_case() {
  local op=$1 size=$2 first=$3 round=$4 to_native=$work/turn-to-native to_java=$work/turn-to-java
  local passes_out=$work/round-passes.txt
  local native_go=second java_go=first
  if [[ $first == native ]]; then native_go=first java_go=second; fi
  rm -f "$to_native" "$to_java"
  mkfifo "$to_native" "$to_java"
  : >"$passes_out"
  # shellcheck disable=SC2046
  "${pin[@]}" "${native[@]}" $(case_args "$op" "$size") $(native_args "$op") \
    --turn-in "$to_native" --turn-out "$to_java" --go "$native_go" >>"$passes_out" 2>>"$log" &
  local native_pid=$!
  # shellcheck disable=SC2046
  "${pin[@]}" "${java[@]}" $(case_args "$op" "$size") $(java_args "$op" "$size") \
    --turn-in "$to_java" --turn-out "$to_native" \
    --go "$java_go" >>"$passes_out" 2>>"$log" &
  local java_pid=$!
  local failed=0
  # If one side fails the other would wait for its turn forever.
  wait -n "$native_pid" "$java_pid" || failed=1
  if ((failed)); then kill "$native_pid" "$java_pid" 2>/dev/null || true; fi
  wait "$native_pid" || failed=1
  wait "$java_pid" || failed=1
  rm -f "$to_native" "$to_java"
  sed "s/\$/ round=$round/" "$passes_out" >>"$results"
  if ((failed)); then
    echo "$op $size failed; see $log" >&2
    exit 1
  fi
}

loadavg() { cut -d' ' -f1-3 /proc/loadavg; }
load_start=$(loadavg)
for size in $sizes; do
  make_input "$size"
  check_equivalence "$size"
done

for ((round = 1; round <= rounds; round++)); do
  first=native
  if ((round % 2 == 0)); then first=java; fi
  for size in $sizes; do
    for op in $ops; do
      echo "round $round/$rounds: $op $size ($first first)" >&2
      run_case "$op" "$size" "$first" "$round"
    done
  done
done

# Per case and side: the median pictures per second of all timed passes, and
# the ratio library time / native time (native fps over library fps). Each
# round runs in new processes, and a process's memory layout moves its speed
# by several percent for its whole life, so the ratio is taken round by round
# (each side's median pass in that round) and the median of those ratios is
# reported, with the lowest and highest round beside it.
summarise() {
awk -v metric="$1" '
  {
    for (i = 2; i <= NF; i++) { split($i, kv, "="); f[kv[1]] = kv[2] }
    # Pictures per second of wall-clock time, or of the CPU time of the process.
    if (metric == "cpu") f["fps"] = f["cpu"] > 0 ? f["pictures"] / f["cpu"] : 0
    key = f["op"] " " f["size"]
    side = f["side"]
    if (!(key in seen)) { seen[key] = 1; order[++cases] = key }
    if (!(side in sideSeen)) { sideSeen[side] = 1; sides[++nsides] = side }
    if (!((key, f["round"]) in roundSeen)) {
      roundSeen[key, f["round"]] = 1
      roundOf[key, ++rounds[key]] = f["round"]
    }
    all[key, side, ++allCount[key, side]] = f["fps"]
    inRound[key, side, f["round"], ++roundCount[key, side, f["round"]]] = f["fps"]
  }
  function median(values, n,    i, j, t) {
    if (n == 0) return 0
    for (i = 2; i <= n; i++) for (j = i; j > 1 && values[j - 1] > values[j]; j--) {
      t = values[j]; values[j] = values[j - 1]; values[j - 1] = t
    }
    return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
  }
  function allMedian(key, side,    i, v) {
    for (i = 1; i <= allCount[key, side]; i++) v[i] = all[key, side, i]
    return median(v, allCount[key, side])
  }
  function roundMedian(key, side, round,    i, v) {
    for (i = 1; i <= roundCount[key, side, round]; i++) v[i] = inRound[key, side, round, i]
    return median(v, roundCount[key, side, round])
  }
  # Sets ratio["median"], ratio["low"], ratio["high"] over the rounds of a case.
  function roundRatios(key, side,    r, n, v, base, m) {
    n = 0
    for (r = 1; r <= rounds[key]; r++) {
      base = roundMedian(key, "native", roundOf[key, r])
      m = roundMedian(key, side, roundOf[key, r])
      if (base > 0 && m > 0) v[++n] = base / m
    }
    ratio["median"] = median(v, n)
    ratio["low"] = n ? v[1] : 0
    ratio["high"] = n ? v[n] : 0
    return n
  }
  END {
    printf "%s\n", metric == "cpu" ? "CPU time (user and system, the whole process):" \
      : "wall-clock time:"
    printf "%-17s %8s", "case", "native"
    for (s = 1; s <= nsides; s++) {
      if (sides[s] != "native") printf " %10s %6s %-11s", sides[s], "ratio", "(rounds)"
    }
    printf "\n"
    for (c = 1; c <= cases; c++) {
      key = order[c]
      printf "%-17s %8.1f", key, allMedian(key, "native")
      for (s = 1; s <= nsides; s++) {
        if (sides[s] == "native") continue
        if (roundRatios(key, sides[s]) > 0) {
          printf " %10.1f %6.3f %-11s", allMedian(key, sides[s]), ratio["median"],
            sprintf("(%.2f-%.2f)", ratio["low"], ratio["high"])
        } else {
          printf " %10s %6s %-11s", "-", "-", ""
        }
      }
      printf "\n"
    }
    printf "pictures/s: median of all timed passes of a side (%d rounds of %d);\n",
      rounds[order[1]], roundCount[order[1], "native", roundOf[order[1], 1]]
    printf "ratio: library time / native time, the median of the rounds (lowest-highest)\n"
  }' "$results"
}
summarise wall
summarise cpu
echo "load average (1, 5, 15 min) at the start: $load_start; at the end: $(loadavg)"
echo "passes: $results; codec messages: $log" >&2
