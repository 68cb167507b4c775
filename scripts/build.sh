#!/usr/bin/env bash
# Configures and builds into build/ (two jobs: the machines have two cores).
#   scripts/build.sh [CMAKE_ARGS...]   arguments are passed to CMake's configure step on every
#                                      call that has them, not only the first
# QUILLBOX_WERROR=1 (CI sets it) makes warnings in the project's own code errors.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
options=("$@")
[ "${QUILLBOX_WERROR:-}" = 1 ] && options+=(-DQUILLBOX_WERROR=ON)
if [ ! -f build/CMakeCache.txt ]; then
  generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
elif [ ${#options[@]} -gt 0 ]; then
  cmake -S . -B build "${options[@]}"
fi
cmake --build build -j "${QUILLBOX_JOBS:-2}"
