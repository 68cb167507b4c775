#!/usr/bin/env bash
# Runs the desktop program on a virtual display and saves a screenshot of the screen.
#   scripts/run-xvfb.sh [build-dir] [screenshot.png] [seconds]
# The program keeps running until the given seconds have passed (default 15).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shot=${2:-$here/screenshot.png}
seconds=${3:-15}
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}"
fi
export QUILLBOX_SCREENSHOT="$shot"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$0" & pid=$!
  sleep "$1"
  import -window root "$QUILLBOX_SCREENSHOT"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' "$build/bin/quillbox" "$seconds"
echo "screenshot: $shot"
