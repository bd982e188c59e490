#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, once: packages
# already present are not installed again.
set -eu
packages=(
  cmake g++ make pkg-config
  libopenh264-dev
  openjdk-17-jdk-headless
  junit5
  libgtest-dev libgmock-dev
  ffmpeg
)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}"
