#!/usr/bin/env bash
# Cross-builds quillbox-cli.exe for 64-bit Windows into build-win/ (mingw-w64; the libraries
# from scripts/build-windows-deps.sh, cached between builds). Prints the program's path.
#   scripts/build-windows.sh [CMAKE_ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
prefix=$(bash scripts/build-windows-deps.sh)
export QUILLBOX_WINDOWS_PREFIX=$prefix
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
options=("$@")
[ "${QUILLBOX_WERROR:-}" = 1 ] && options+=(-DQUILLBOX_WERROR=ON)
dir=${QUILLBOX_WINDOWS_BUILD_DIR:-build-win}
if [ ! -f "$dir/CMakeCache.txt" ] || [ ${#options[@]} -gt 0 ]; then
  generator=()
  [ -f "$dir/CMakeCache.txt" ] || { command -v ninja >/dev/null && generator=(-G Ninja); }
  cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release "${options[@]}" >&2
fi
cmake --build "$dir" --target quillbox-cli -j "${QUILLBOX_JOBS:-2}" >&2
echo "$here/$dir/bin/quillbox-cli.exe"
