#!/usr/bin/env bash
# Configures and builds into build/ (two jobs: the machines have two cores).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build build -j "${QUILLBOX_JOBS:-2}"
