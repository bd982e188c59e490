#!/usr/bin/env bash
# Thumbnails, ours against ffmpeg: one PNG a second from a 60 s 1280x720 MP4 with a key frame
# every 2 s (libx264's defaults otherwise, B-frames included), written by
#   java -jar tqh264bridge.jar grab x.mp4 --every 1 --output out%03d.png
#   ffmpeg -i x.mp4 -vf fps=1 out%03d.png
# Both sides use every CPU. The sides take turns, the one that starts swapping from round to
# round; each run is timed whole (JVM start included) with GNU time: wall, and CPU as user +
# system. Prints each run, then medians and ranges, and the load average before and after.
# See bench/README.md.
#
# Settings (environment): BENCH_BUILD_DIR (default: build-bench), ROUNDS (default: 5),
# SECONDS_LONG the video's length (default: 60), EVERY (default: 1), SEEK (default: precise).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
rounds=${ROUNDS:-5}
length=${SECONDS_LONG:-60}
every=${EVERY:-1}
seek=${SEEK:-precise}

echo "building in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_BUILD_TESTS=OFF \
  -DTQ_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target tqh264bridge_jar >/dev/null

work=$build/bench-work/thumbnails
mkdir -p "$work"
input=$work/x-$length.mp4
if [[ ! -f $input ]]; then
  ffmpeg -v error -f lavfi -i testsrc2=size=1280x720:rate=30 -t "$length" -c:v libx264 \
    -g 60 -pix_fmt yuv420p "$input"
fi
rate=$(awk -v e="$every" 'BEGIN { print 1 / e }')

# One timed run of a side: prints "side wall cpu pictures".
run() {
  local side=$1 out=$work/$1
  rm -rf "$out" && mkdir -p "$out"
  local times
  if [[ $side == ours ]]; then
    times=$( { /usr/bin/time -f '%e %U %S' java -jar "$build/tqh264bridge.jar" grab "$input" \
      --every "$every" --seek "$seek" --output "$out/out%03d.png" >/dev/null; } 2>&1 | tail -1)
  else
    times=$( { /usr/bin/time -f '%e %U %S' ffmpeg -v error -i "$input" -vf "fps=$rate" \
      "$out/out%03d.png"; } 2>&1 | tail -1)
  fi
  echo "$side $(awk '{ printf "%.2f %.2f", $1, $2 + $3 }' <<<"$times") $(ls "$out" | wc -l)"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
results=$work/results.txt
: >"$results"
for ((round = 1; round <= rounds; round++)); do
  if ((round % 2)); then sides=(ours ffmpeg); else sides=(ffmpeg ours); fi
  for side in "${sides[@]}"; do
    line=$(run "$side")
    echo "round=$round $line" | tee -a "$results"
  done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

# Medians and ranges per side, and the ratio of the medians (ours / ffmpeg).
stats() { # side column: "median min max"
  awk -v side="$1" -v col="$2" '$2 == side { print $col }' "$results" | sort -n |
    awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%.2f %.2f %.2f", m, v[1], v[NR] }'
}
for side in ours ffmpeg; do
  read -r wall wmin wmax <<<"$(stats "$side" 3)"
  read -r cpu cmin cmax <<<"$(stats "$side" 4)"
  printf '%-7s wall median %s s (%s to %s), CPU median %s s (%s to %s)\n' "$side" "$wall" \
    "$wmin" "$wmax" "$cpu" "$cmin" "$cmax"
  eval "${side}_wall=$wall ${side}_cpu=$cpu"
done
# The load changes from minute to minute: the ratio of the two runs of each round, which ran
# back to back, says more than the ratio of the medians.
awk '{ split($1, r, "="); if ($2 == "ours") o[r[2]] = $3; else f[r[2]] = $3 }
  END { for (k in o) print o[k] / f[k] }' "$results" | sort -n |
  awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "wall ratio ours/ffmpeg round by round: median %.2f (%.2f to %.2f)\n", m, v[1], v[NR] }'
awk -v ow="$ours_wall" -v fw="$ffmpeg_wall" -v oc="$ours_cpu" -v fc="$ffmpeg_cpu" \
  'BEGIN { printf "ratio ours/ffmpeg (medians): wall %.2f, CPU %.2f\n", ow / fw, oc / fc }'
