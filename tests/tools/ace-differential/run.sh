#!/bin/sh
# Compares MemoryPage with Ace itself on random scenarios of page operations.
# Needs node and the npm packages; not part of the test run.
# Usage: run.sh BUILD_DIR [MODE] [COUNT]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=$1; mode=${2:-plain}; count=${3:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lib() { find "$build" -name "lib$1.a" | head -n 1; }
g++ -std=c++20 -O1 -I"$root/src" "$here/memory_side.cpp" "$(lib qb_editor)" "$(lib qb_text)" "$(lib qb_platform)" \
    -lpcre2-16 -lpcre2-8 -o "$work/memory_side"
export ACE_JS="$root/node_modules/ace-builds/src-noconflict/ace.js"
differ=0
i=1
while [ "$i" -le "$count" ]; do
    python3 "$here/scenarios.py" "$i" "$mode" > "$work/s"
    node "$here/ace_side.js" < "$work/s" > "$work/a"
    "$work/memory_side" < "$work/s" > "$work/m"
    if ! cmp -s "$work/a" "$work/m"; then
        differ=$((differ + 1))
        if [ "$differ" -eq 1 ]; then echo "seed $i:"; cat "$work/s"; diff "$work/a" "$work/m" || true; fi
    fi
    i=$((i + 1))
done
echo "$mode: $differ of $count scenarios differ"
