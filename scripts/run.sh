#!/usr/bin/env bash
# From a fresh clone to the running program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
scripts/install-deps.sh
scripts/build.sh
if [ -x build/bin/quillbox ]; then
  if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
    export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}"
  fi
  exec build/bin/quillbox "$@"
fi
exec build/bin/quillbox-cli --help
