#!/usr/bin/env bash
# Cross-builds the C libraries the Windows build links (PCRE2, libsodium) from Debian's own
# source packages with mingw-w64, into a cache that later builds reuse, and prints the
# prefix they were installed to. Safe to run again: a library already in the cache is kept.
# The system's apt configuration is never changed (scripts/debian-source.sh).
#
#   scripts/build-windows-deps.sh [CACHE_DIR]
#       (default: ${XDG_CACHE_HOME:-~/.cache}/quillbox/mingw-w64)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${1:-${QUILLBOX_WINDOWS_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillbox/mingw-w64}}
host=x86_64-w64-mingw32
prefix=$cache/prefix
jobs=${QUILLBOX_JOBS:-2}

for tool in apt-get dpkg-source $host-gcc-posix $host-g++-posix cmake make autoreconf libtoolize; do
  command -v "$tool" >/dev/null || {
    echo "build-windows-deps: $tool is missing (scripts/install-deps.sh --windows installs it)" >&2
    exit 1
  }
done

mkdir -p "$cache/src" "$prefix"
. "$here/scripts/debian-source.sh"
# Unpacks Debian's source package $1 under $cache/src (once) and prints its directory.
fetch_source() {
  local unpacked
  unpacked=$(find "$cache/src" -mindepth 1 -maxdepth 1 -type d -name "$1-[0-9]*" | head -n1)
  [ -n "$unpacked" ] || unpacked=$(debian_source "$cache" "$1" "$cache/src")
  echo "$unpacked"
}

export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
# Built without ccache: each is built once per cache.
if [ ! -f "$prefix/lib/libpcre2-8.a" ] || [ ! -f "$prefix/lib/libpcre2-16.a" ]; then
  src=$(fetch_source pcre2)
  echo "build-windows-deps: PCRE2 from $(basename "$src")" >&2
  rm -rf "$cache/build-pcre2"
  cmake -S "$src" -B "$cache/build-pcre2" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=ON -DPCRE2_SUPPORT_UNICODE=ON \
    -DPCRE2_BUILD_TESTS=OFF -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_SUPPORT_JIT=OFF >"$cache/pcre2.log" 2>&1
  cmake --build "$cache/build-pcre2" -j "$jobs" >>"$cache/pcre2.log" 2>&1
  cmake --install "$cache/build-pcre2" >>"$cache/pcre2.log" 2>&1
  rm -rf "$cache/build-pcre2"
fi

if [ ! -f "$prefix/lib/libsodium.a" ]; then
  src=$(fetch_source libsodium)
  echo "build-windows-deps: libsodium from $(basename "$src")" >&2
  rm -rf "$cache/build-sodium" && cp -a "$src" "$cache/build-sodium"
  (
    cd "$cache/build-sodium"
    [ -x configure ] || autoreconf -fi
    ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static --disable-ssp \
      --enable-minimal=no
    make -j "$jobs"
    make install
  ) >"$cache/sodium.log" 2>&1 || { echo "build-windows-deps: libsodium failed, see $cache/sodium.log" >&2; exit 1; }
  rm -rf "$cache/build-sodium"
fi
echo "$prefix"
