#!/usr/bin/env bash
# Makes a JDK image of java.base and the library's module only, and encodes
# and decodes a few pictures in it: the codec classes must load and work
# without java.desktop, which the module requires only for ImageConversions.
set -eu
java_home=$1 jar=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work/classes"
"$java_home/bin/javac" --release 17 -Xlint:all -Werror --module-path "$jar" \
  -d "$work/classes" $(find "$here/smoke" -name '*.java')
"$java_home/bin/jlink" --module-path "$java_home/jmods:$jar:$work/classes" \
  --add-modules java.base,tq.brindlecast.openh264,tq.brindlecast.openh264.smoke \
  --output "$work/image"

modules=$("$work/image/bin/java" --list-modules)
echo "$modules"
if echo "$modules" | grep -q '^java.desktop@'; then
  echo "the image holds java.desktop"
  exit 1
fi
"$work/image/bin/java" -Xcheck:jni \
  -m tq.brindlecast.openh264.smoke/tq.brindlecast.openh264.smoke.CodecSmoke
