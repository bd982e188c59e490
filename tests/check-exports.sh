#!/usr/bin/env bash
# Checks what the shared library exports: only JNI symbols, and exactly the
# entry points listed as built, each of them a native method that the class
# Native declares (read from the jar with javap, so the list cannot drift)
# and defined in the file the list names beside it. The library loads
# OpenH264 at run time, so it must not need it by name.
set -eu
library=$1 nm=$2 javap=$3 jar=$4 built_list=$5
prefix=Java_tq_brindlecast_openh264_Native_

exported=$("$nm" -D --defined-only "$library" | awk '{print $NF}' | sort -u)
declared=$("$javap" -p -cp "$jar" tq.brindlecast.openh264.Native |
  grep -E '^\s*public static native ' | sed -E 's/.* ([A-Za-z0-9_]+)\(.*/\1/' | sort -u)
built=$(awk '!/^[[:space:]]*(#|$)/ {print $1}' "$built_list" | sort -u)
root=$(cd "$(dirname "$built_list")/.." && pwd)

status=0
stray=$(echo "$exported" | grep -v -E '^(Java_|JNI_)' || true)
if [ -n "$stray" ]; then
  echo "exported symbols that are not JNI entry points:"; echo "$stray"; status=1
fi
exported_entries=$(echo "$exported" | grep "^$prefix" | sed "s/^$prefix//" | sort -u)
if [ "$exported_entries" != "$built" ]; then
  echo "exported entry points differ from $built_list:"
  diff <(echo "$built") <(echo "$exported_entries") || true
  status=1
fi
undeclared=$(comm -23 <(echo "$built") <(echo "$declared"))
if [ -n "$undeclared" ]; then
  echo "entry points that Native does not declare:"; echo "$undeclared"; status=1
fi
while read -r method file; do
  if ! grep -q "${prefix}${method}(" "$root/$file" 2>/dev/null; then
    echo "$file does not define the entry point of $method, as $built_list says"; status=1
  fi
done < <(awk '!/^[[:space:]]*(#|$)/' "$built_list")
if [ "$(echo "$declared" | wc -l)" -ne 24 ]; then
  echo "Native declares $(echo "$declared" | wc -l) natives, expected 24"; status=1
fi
needed=$(readelf -d "$library" | awk '/\(NEEDED\)/ {print $NF}' | tr -d '[]')
if echo "$needed" | grep -qi openh264; then
  echo "the library needs OpenH264 by name:"; echo "$needed"; status=1
fi
echo "needed libraries: $(echo "$needed" | tr '\n' ' ')"
echo "exported: $(echo "$exported_entries" | wc -w) of $(echo "$declared" | wc -l) declared natives"
exit $status
