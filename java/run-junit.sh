#!/usr/bin/env bash
# Runs the JUnit suite in a JVM with -Xcheck:jni. Any JNI error or warning
# fails the run even when every test passed. TQ_JUNIT_ARGS adds options of
# the console launcher, e.g. "--include-tag release-matrix" for a subset.
set -u
java_bin=$1
launcher=$2
classpath=$3
tests_jar=$4
shift 4

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$java_bin" -Xcheck:jni -jar "$launcher" --class-path "$classpath" \
  --scan-class-path "$tests_jar" --fail-if-no-tests --disable-banner \
  --details=tree ${TQ_JUNIT_ARGS:-} "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

jni_problems=$(grep -E 'FATAL ERROR in native method|WARNING in native method|WARNING: JNI|JNI (ERROR|WARNING)' "$log")
if [ -n "$jni_problems" ]; then
  echo "-Xcheck:jni reported problems:"
  echo "$jni_problems"
  exit 1
fi
exit "$status"
