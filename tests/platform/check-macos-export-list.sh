#!/usr/bin/env bash
# The macOS exported-symbols list must name every C-linkage function the
# library defines (macOS keeps them visible) and the JNI entry points. Names
# with a leading underscore (C++ and tool-generated symbols) are not ours.
set -eu
nm=$1 list=$2
shift 2
defined=$("$nm" -g --defined-only "$@" | awk '$2 ~ /^[TDBR]$/ {print $3}' |
  grep -v -e '^_' -e '^Java_' | sed 's/^/_/' | sort -u)
listed=$(grep -v -e '^#' -e '^_Java_' -e '^\s*$' "$list" | sort -u)
status=0
if [ "$defined" != "$listed" ]; then
  echo "$list differs from the C-linkage functions defined (< defined, > listed):"
  diff <(echo "$defined") <(echo "$listed") || true
  status=1
fi
grep -qx '_Java_tq_brindlecast_openh264_Native_\*' "$list" || {
  echo "$list does not export the JNI entry points"; status=1
}
exit $status
