#!/usr/bin/env bash
# Thumbnails, ours against ffmpeg: one PNG a second from a 60 s 1280x720 MP4 with a key frame
# every 2 s (libx264's defaults otherwise, B-frames included), written by
#   java -jar tqh264bridge.jar grab x.mp4 --every 1 --output out%03d.png
#   ffmpeg -i x.mp4 -vf fps=1 out%03d.png
# Both sides use every CPU. The sides take turns, the one that starts changing from round to
# round; each run is timed whole (JVM start included) with GNU time: wall, and CPU as user +
# system. Prints each run, then medians and ranges, and the load average before and after.
# With LOOP=1 a third side, "loop", takes its turn: the same files from a plain loop of
# FrameGrabber.imageAt(t) (bench/java/.../tool/GrabLoop.java), precise pictures only.
# See bench/README.md.
#
# Settings (environment): BENCH_BUILD_DIR (default: build-bench), ROUNDS (default: 5),
# SECONDS_LONG the video's length (default: 60), EVERY (default: 1), SEEK (default: precise),
# LOOP (default: 0).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
rounds=${ROUNDS:-5}
length=${SECONDS_LONG:-60}
every=${EVERY:-1}
seek=${SEEK:-precise}
loop=${LOOP:-0}

echo "building in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_BUILD_TESTS=OFF \
  -DTQ_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target tqh264bridge_jar tqh264bridge_bench >/dev/null

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
  elif [[ $side == loop ]]; then
    times=$( { /usr/bin/time -f '%e %U %S' java \
      -cp "$build/tqh264bridge.jar:$build/bench/tqh264bridge-bench.jar" \
      tq.brindlecast.openh264.tool.GrabLoop "$input" "$every" "$out/out%03d.png"; } 2>&1 |
      tail -1)
  else
    times=$( { /usr/bin/time -f '%e %U %S' ffmpeg -v error -i "$input" -vf "fps=$rate" \
      "$out/out%03d.png"; } 2>&1 | tail -1)
  fi
  echo "$side $(awk '{ printf "%.2f %.2f", $1, $2 + $3 }' <<<"$times") $(ls "$out" | wc -l)"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
results=$work/results.txt
: >"$results"
all_sides=(ours ffmpeg)
if [[ $loop == 1 ]]; then all_sides=(ours loop ffmpeg); fi
for ((round = 1; round <= rounds; round++)); do
  # Each round starts with the next side.
  sides=()
  for ((i = 0; i < ${#all_sides[@]}; i++)); do
    sides+=("${all_sides[(round - 1 + i) % ${#all_sides[@]}]}")
  done
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
for side in "${all_sides[@]}"; do
  read -r wall wmin wmax <<<"$(stats "$side" 3)"
  read -r cpu cmin cmax <<<"$(stats "$side" 4)"
  printf '%-7s wall median %s s (%s to %s), CPU median %s s (%s to %s)\n' "$side" "$wall" \
    "$wmin" "$wmax" "$cpu" "$cmin" "$cmax"
  eval "${side}_wall=$wall ${side}_cpu=$cpu"
done
# The load changes from minute to minute: the ratio of the runs of each round, which ran back to
# back, says more than the ratio of the medians.
for side in "${all_sides[@]}"; do
  [[ $side == ffmpeg ]] && continue
  awk -v side="$side" '{ split($1, r, "="); if ($2 == side) o[r[2]] = $3
      else if ($2 == "ffmpeg") f[r[2]] = $3 }
    END { for (k in o) print o[k] / f[k] }' "$results" | sort -n |
    awk -v side="$side" '{ v[NR] = $1 }
      END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "wall ratio %s/ffmpeg round by round: median %.2f (%.2f to %.2f)\n", side, m,
          v[1], v[NR] }'
  eval "side_wall=\$${side}_wall side_cpu=\$${side}_cpu"
  awk -v side="$side" -v ow="$side_wall" -v fw="$ffmpeg_wall" -v oc="$side_cpu" \
    -v fc="$ffmpeg_cpu" 'BEGIN { printf "ratio %s/ffmpeg (medians): wall %.2f, CPU %.2f\n",
      side, ow / fw, oc / fc }'
done
