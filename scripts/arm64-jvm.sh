#!/usr/bin/env bash
# Unpacks Debian's arm64 Java runtime into a folder, without installing it
# (installing it through multiarch would replace the host's JDK), and prints
# the path of a `java` that runs it under qemu-user. The launcher itself is
# replaced by that wrapper, so JVMs the tests start go through qemu too.
# Kept in ARM64_JVM_CACHE (default ~/.cache/tqh264bridge) per package version.
set -eu
packages=(openjdk-17-jre-headless:arm64 zlib1g:arm64)
cache_root=${ARM64_JVM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tqh264bridge}
version=$(apt-cache policy openjdk-17-jre-headless:arm64 | awk '/Candidate:/ {print $2}')
if [ -z "$version" ] || [ "$version" = "(none)" ]; then
  echo "no openjdk-17-jre-headless:arm64 in the package lists (dpkg --add-architecture arm64)" >&2
  exit 1
fi
root=$cache_root/arm64-jvm-$version
java_home=$root/usr/lib/jvm/java-17-openjdk-arm64
if [ ! -f "$root/.complete" ]; then
  work=$(mktemp -d)
  chmod 755 "$work" # apt downloads as the _apt user
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get download -qq "${packages[@]}" >&2)
  rm -rf "$root"
  mkdir -p "$root"
  for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$root"; done
  mv "$java_home/bin/java" "$java_home/bin/java.arm64"
  qemu=$(command -v qemu-aarch64)
  cat >"$java_home/bin/java" <<WRAPPER
#!/bin/sh
# The arm64 launcher under qemu-user. Without binfmt_misc the JVM's spawn
# helper cannot start, so child processes are started by vfork.
exec "$qemu" -L "$root" "$java_home/bin/java.arm64" -Djdk.lang.Process.launchMechanism=VFORK "\$@"
WRAPPER
  chmod +x "$java_home/bin/java"
  touch "$root/.complete"
fi
echo "$java_home/bin/java"
