#!/usr/bin/env bash
# From a fresh clone to a green test run: installs what is missing, builds, runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
scripts/install-deps.sh
scripts/build.sh
cd build
ctest --output-on-failure -j "${QUILLBOX_JOBS:-2}" --timeout 600
cd "$here"
# quillbox-cli.exe for Windows, tested under wine against the build above.
scripts/test-windows.sh
