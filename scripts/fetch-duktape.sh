#!/usr/bin/env bash
# Fetches Duktape's source from Debian's own source package into a cache and prints the
# directory it unpacked to. Safe to run again: once unpacked, the cache is used as it is.
# The system's apt configuration is never changed (scripts/debian-source.sh).
#
#   scripts/fetch-duktape.sh [CACHE_DIR]   (default: ${XDG_CACHE_HOME:-~/.cache}/quillbox/duktape)
set -euo pipefail
cache=${1:-${QUILLBOX_DUKTAPE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillbox/duktape}}
version=2.7.0
source_dir=$cache/duktape-$version
if [ -f "$source_dir/tools/configure.py" ] && [ -d "$source_dir/src-input" ]; then
  echo "$source_dir"
  exit 0
fi
. "$(dirname "$0")/debian-source.sh"
unpacked=$(debian_source "$cache" duktape "$cache/unpacked")
[ "$(basename "$unpacked")" = "duktape-$version" ] && [ -f "$unpacked/tools/configure.py" ] || {
  echo "fetch-duktape: the duktape $version source package did not unpack as expected ($unpacked)" >&2
  exit 1
}
rm -rf "$source_dir"
mv "$unpacked" "$source_dir"
rmdir "$cache/unpacked" 2>/dev/null || true
echo "$source_dir"
