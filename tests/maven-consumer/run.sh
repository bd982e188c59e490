#!/usr/bin/env bash
# The artifact as a Maven build uses it: installs the jar, its pom and its
# sources and javadoc jars into a fresh local repository with
# scripts/install-maven.sh, builds the consumer project beside this script
# offline with Debian's Maven (plugins from /usr/share/maven-repo), which
# resolves the library by its coordinates, and runs the consumer's round trip
# under -Xcheck:jni against the jar Maven resolved; a JNI warning fails it.
# Arguments: java, jar (the JDK's tool), the build folder, the library's
# version, a work folder.
set -eu
java=$1 jar=$2 build=$3 version=$4 work=$5
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
repository=$work/repository
artifact=$repository/tq/brindlecast/tqh264bridge/$version/tqh264bridge-$version

rm -rf "$work"
mkdir -p "$work"
TQ_BUILD_DIR=$build "$root/scripts/install-maven.sh" "$repository"

# The sources and the javadoc were installed beside the jar.
for entry in sources:tq/brindlecast/openh264/H264Encoder.java \
  javadoc:tq.brindlecast.openh264/tq/brindlecast/openh264/H264Encoder.html; do
  if ! "$jar" --list --file "$artifact-${entry%%:*}.jar" | grep -qx "${entry#*:}"; then
    echo "maven consumer: $artifact-${entry%%:*}.jar lacks ${entry#*:}" >&2
    exit 1
  fi
done

cp -r "$here/pom.xml" "$here/src" "$work/"
mvn -o -B -q -s "$root/scripts/maven-debian-settings.xml" \
  -Daether.offline.protocols=file "-Dmaven.repo.local=$repository" \
  "-Dtqh264bridge.version=$version" -f "$work/pom.xml" compile
status=0
output=$("$java" -Xcheck:jni -cp "$work/target/classes:$artifact.jar" example.consumer.RoundTrip \
  2>&1) || status=$?
echo "$output"
if [ "$status" -ne 0 ]; then
  exit "$status"
fi
if grep -qE 'in native method|JNI (ERROR|WARNING)|WARNING: JNI' <<<"$output"; then
  echo "maven consumer: -Xcheck:jni reported problems" >&2
  exit 1
fi
