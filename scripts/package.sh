#!/usr/bin/env bash
# Builds the Debian package quillbox_<version>_amd64.deb from a clean build tree.
#   scripts/package.sh [OUTDIR]     (default: the repository's top directory)
# Install it with: sudo apt install ./quillbox_*.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$here}" && cd "${1:-$here}" && pwd)
cd "$here"
scripts/install-deps.sh
tree=$here/build-package
rm -rf "$tree"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B "$tree" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DQUILLBOX_BUILD_TESTS=OFF -DQUILLBOX_BUILD_BENCH=OFF
cmake --build "$tree" -j "${QUILLBOX_JOBS:-2}"
(cd "$tree" && cpack -G DEB -B "$tree/package")
deb=$(ls "$tree"/package/quillbox_*.deb)
cp "$deb" "$out/"
echo "package: $out/$(basename "$deb")"
