#!/usr/bin/env bash
# Checks the export table of the Windows DLL: exactly the JNI entry points
# listed as built, and nothing else; and that it imports no OpenH264 DLL
# (OpenH264 is loaded at run time).
set -eu
dll=$1 objdump=$2 built_list=$3
prefix=Java_tq_brindlecast_openh264_Native_

exported=$("$objdump" -p "$dll" |
  awk '/Ordinal\/Name Pointer/ {table = 1; next} table && /^[ \t]*\[/ {print $NF} table && /^[ \t]*$/ {table = 0}' |
  sort -u)
expected=$(awk '!/^[[:space:]]*(#|$)/ {print $1}' "$built_list" | sed "s/^/$prefix/" | sort -u)
if [ "$exported" != "$expected" ]; then
  echo "the DLL's exports differ from $built_list (< expected, > exported):"
  diff <(echo "$expected") <(echo "$exported") || true
  exit 1
fi
imported=$("$objdump" -p "$dll" | awk '/DLL Name:/ {print $3}')
if echo "$imported" | grep -qi openh264; then
  echo "the DLL imports OpenH264 by name:"; echo "$imported"
  exit 1
fi
echo "the DLL exports exactly the $(echo "$exported" | wc -l) JNI entry points and imports" \
  $imported
