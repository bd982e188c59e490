#!/usr/bin/env bash
# Runs the integration driver (the command after the work folder, e.g. wine
# and the driver) and judges what it writes with ffmpeg: our stream decodes
# without error, and our decoder's pictures of our stream, of an x264
# Constrained Baseline stream and of an x264 Main stream equal ffmpeg's.
set -eu
work=$1
shift
driver=("$@")
rm -rf "$work"
mkdir -p "$work"
cd "$work"
status=0
fail() { echo "FAIL $*"; status=1; }

# ffmpeg's pictures of a stream, packed I420; any error message fails.
ffmpeg_decode() {
  local errors
  errors=$(ffmpeg -nostdin -v error -i "$1" -f rawvideo -pix_fmt yuv420p -y "$2" 2>&1) || true
  if [ -n "$errors" ]; then
    fail "ffmpeg reports errors decoding $1:"
    echo "$errors"
  fi
}

compare() {
  if cmp -s "$1" "$2"; then
    echo "ok   $1 equals ffmpeg's pictures ($(($(stat -c %s "$1") / 115200)) pictures)"
  else
    fail "$1 differs from ffmpeg's pictures ($(stat -c %s "$1") and $(stat -c %s "$2") bytes)"
  fi
}

if ! "${driver[@]}" encode ours.h264 input.yuv; then
  echo "FAIL encoding"
  exit 1
fi
ffmpeg_decode ours.h264 ours.ffmpeg.yuv
if [ "$(stat -c %s ours.ffmpeg.yuv)" -ne $((30 * 115200)) ]; then
  fail "ffmpeg found $(($(stat -c %s ours.ffmpeg.yuv) / 115200)) pictures in our stream, not 30"
fi
"${driver[@]}" decode ours.h264 ours.yuv 0 || fail "decoding our stream"
compare ours.yuv ours.ffmpeg.yuv

# Streams from x264 of the same pictures. A Main stream makes OpenH264 2.x
# hold its last picture back until the drain; it has no weighted prediction,
# which 1.7.0 decodes off by one.
for profile in baseline main; do
  ffmpeg -nostdin -v error -f rawvideo -pix_fmt yuv420p -s 320x240 -r 30 -i input.yuv \
    -c:v libx264 -profile:v "$profile" -bf 0 -x264-params weightp=0 -y "x264-$profile.h264"
  ffmpeg_decode "x264-$profile.h264" "x264-$profile.ffmpeg.yuv"
  held=0
  [ "$profile" = main ] && held=1
  "${driver[@]}" decode "x264-$profile.h264" "x264-$profile.yuv" "$held" ||
    fail "decoding the x264 $profile stream"
  compare "x264-$profile.yuv" "x264-$profile.ffmpeg.yuv"
done

"${driver[@]}" refcount || fail "reference counts"
exit "$status"
