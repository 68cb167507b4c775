#!/usr/bin/env bash
# The Windows build's tests: cross-builds quillbox-cli.exe (scripts/build-windows.sh) and runs
# the command-line tests that apply to it under wine, headless, against the Linux build's
# quillbox-cli (tests/windows/wine_cli_test.py). Run after scripts/build.sh.
# Without mingw-w64 or wine the tests are skipped, unless QUILLBOX_NO_SKIPS=1 (CI) makes
# that a failure.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
missing=()
for tool in x86_64-w64-mingw32-g++-posix wine wineserver autoreconf; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "test-windows: skipped, missing ${missing[*]} (scripts/install-deps.sh installs them)" >&2
  [ "${QUILLBOX_NO_SKIPS:-}" = 1 ] && exit 1
  exit 0
fi
started=$(date +%s)
exe=$(bash scripts/build-windows.sh)
built=$(date +%s)
echo "test-windows: built $exe in $((built - started)) s" >&2
timeout 1200 python3 tests/windows/wine_cli_test.py build/bin/quillbox-cli "$exe"
echo "test-windows: tests in $(($(date +%s) - built)) s" >&2
