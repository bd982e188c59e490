#!/usr/bin/env bash
# Installs the jar as the Maven artifact tq.brindlecast:tqh264bridge, with its
# pom and its sources and javadoc jars, into a local Maven repository: the
# folder given, or ~/.m2/repository. The four files come from ./build (or
# $TQ_BUILD_DIR), where scripts/build.sh puts them.
#
# Maven's install plugin comes from Debian's packaged repository, offline,
# when libmaven-install-plugin-java is installed (scripts/install-deps.sh
# installs it); otherwise from the repositories Maven is set up to use. Only
# the artifact is written to the target repository.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TQ_BUILD_DIR:-$root/build}
repository=${1:-$HOME/.m2/repository}
install_plugin=org.apache.maven.plugins:maven-install-plugin:3.1.0
debian_repo=/usr/share/maven-repo

for file in tqh264bridge.jar tqh264bridge.pom tqh264bridge-sources.jar tqh264bridge-javadoc.jar; do
  if [ ! -f "$build/$file" ]; then
    echo "install-maven: $build/$file is missing; build first (scripts/build.sh)" >&2
    exit 1
  fi
done
if ! command -v mvn >/dev/null; then
  echo "install-maven: mvn is not installed (Debian: apt-get install maven)" >&2
  exit 1
fi
mkdir -p "$repository"
repository=$(cd "$repository" && pwd)

maven=(mvn -B -q)
if [ -d "$debian_repo/org/apache/maven/plugins/maven-install-plugin/3.1.0" ]; then
  # Debian's plugin and its libraries are copied into a throw-away local
  # repository, so they never mix with the user's own.
  plugins=$(mktemp -d)
  trap 'rm -rf "$plugins"' EXIT
  maven+=(-o -s "$root/scripts/maven-debian-settings.xml" -Daether.offline.protocols=file
    "-Dmaven.repo.local=$plugins")
fi
"${maven[@]}" "$install_plugin:install-file" \
  "-Dfile=$build/tqh264bridge.jar" \
  "-DpomFile=$build/tqh264bridge.pom" \
  "-Dsources=$build/tqh264bridge-sources.jar" \
  "-Djavadoc=$build/tqh264bridge-javadoc.jar" \
  "-DlocalRepositoryPath=$repository"
version=$(sed -n 's|^  <version>\(.*\)</version>$|\1|p' "$build/tqh264bridge.pom")
echo "Installed tq.brindlecast:tqh264bridge:$version into $repository"
