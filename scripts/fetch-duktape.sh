#!/usr/bin/env bash
# Fetches Duktape's source from Debian's own source package into a cache and prints the
# directory it unpacked to. Safe to run again: once unpacked, the cache is used as it is.
# The deb-src entry and apt's lists live in a private directory beside the cache, so the
# system's apt configuration is never changed.
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
command -v apt-get >/dev/null && command -v dpkg-source >/dev/null || {
  echo "fetch-duktape: apt-get and dpkg-source (dpkg-dev) are needed" >&2
  exit 1
}
apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d" "$cache/download"
echo "deb-src http://deb.debian.org/debian bookworm main" > "$apt_dir/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "APT::Sandbox::User=$(id -un)"
  -o "Debug::NoLocking=1"
)
apt-get -qq "${apt_options[@]}" update >&2
rm -rf "$cache/download"/*
(cd "$cache/download" && apt-get -qq "${apt_options[@]}" source duktape >&2)
unpacked=$(find "$cache/download" -mindepth 1 -maxdepth 1 -type d -name "duktape-$version*" | head -n1)
[ -n "$unpacked" ] && [ -f "$unpacked/tools/configure.py" ] || {
  echo "fetch-duktape: the duktape $version source package did not unpack as expected" >&2
  exit 1
}
rm -rf "$source_dir"
mv "$unpacked" "$source_dir"
rm -rf "$cache/download"
echo "$source_dir"
