#!/usr/bin/env bash
# Installs the Debian packages and the npm packages the build needs. Safe to run again.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libqt6opengl6-dev
  libgl-dev libxkbcommon-dev
  libjavascriptcoregtk-4.1-dev libpcre2-dev libcurl4-openssl-dev
  libsodium-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-noto-cjk xvfb xauth xclip xdotool x11-utils imagemagick python3
  dpkg-dev python3-yaml python3-lib2to3 patch
  # Debian's own build of Duktape: only the benchmark's peer (the program builds its own).
  duktape-dev
  desktop-file-utils appstream file
)
# The Windows build (scripts/build-windows.sh) and its tests under wine; QUILLBOX_NO_WINDOWS=1
# leaves them out.
if [ "${QUILLBOX_NO_WINDOWS:-}" != 1 ]; then
  packages+=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    wine wine64 autoconf automake libtool make
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node.js and npm only build-time helpers: take the machine's own when it has them.
command -v node >/dev/null && command -v npm >/dev/null || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cd "$here"
if [ ! -d node_modules ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi

# Duktape's source for the native engine, from Debian's source package (cached).
bash "$here/scripts/fetch-duktape.sh" >/dev/null
