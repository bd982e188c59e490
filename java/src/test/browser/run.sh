#!/usr/bin/env bash
# The browser test: writes the MP4s with the library (BrowserFixture), then plays them in
# Debian's Chromium through puppeteer-core (installed by scripts/install-deps.sh).
# Usage: run.sh JAVA CLASSPATH WORK_DIR NODE_MODULES_DIR
set -eu
java_bin=$1
classpath=$2
work=$3
modules=$4
chromium=${CHROMIUM:-/usr/bin/chromium}
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$chromium" ] || [ ! -d "$modules/puppeteer-core" ]; then
  echo "needs $chromium and puppeteer-core in $modules: run scripts/install-deps.sh" >&2
  exit 1
fi
rm -rf "$work"
"$java_bin" -cp "$classpath" tq.brindlecast.openh264.BrowserFixture "$work"
exec timeout 300 node "$here/play.mjs" "$work" "$modules" "$chromium"
