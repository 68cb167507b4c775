#!/usr/bin/env bash
# The installed layout, end to end: installs the build into a temporary prefix, runs the
# installed programs as a user with a fresh home directory, and checks that they find the
# engine library beside them, keep their files in ~/.local/share/quillbox and write nothing
# into the prefix. Then validates the desktop entry and the AppStream data.
#   install_test.sh BUILD_DIR CMAKE
set -uo pipefail
build=$1
cmake=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
home=$work/home
mkdir -p "$home"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; exit 1; }

# --- layout ---------------------------------------------------------------------------
program_dir=$prefix/lib/quillbox
for f in lib/quillbox/quillbox-cli lib/quillbox/libChakraCore.so lib/quillbox/quillbox.installed \
         share/applications/org.quillbox.Quillbox.desktop share/metainfo/org.quillbox.Quillbox.metainfo.xml \
         share/icons/hicolor/scalable/apps/quillbox.svg share/icons/hicolor/256x256/apps/quillbox.png \
         share/doc/quillbox/README.md share/doc/quillbox/licenses/ace-builds/LICENSE \
         share/doc/quillbox/licenses/json3/LICENSE share/doc/quillbox/licenses/js-beautify/LICENSE \
         share/doc/quillbox/licenses/crypto-js-4.0.0/LICENSE share/doc/quillbox/licenses/pako/LICENSE \
         share/doc/quillbox/licenses/jsencrypt/LICENSE share/doc/quillbox/licenses/blueimp-md5/LICENSE \
         share/doc/quillbox/licenses/js-base64/LICENSE share/doc/quillbox/licenses/@babel/standalone/LICENSE \
         share/doc/quillbox/licenses/es5-shim/LICENSE share/doc/quillbox/licenses/core-js-bundle/LICENSE \
         share/doc/quillbox/licenses/webcrack/LICENSES.txt; do
    check "installed $f" test -s "$prefix/$f"
done
check "jsmin's licence taken from its source" grep -q "Douglas Crockford" "$prefix/share/doc/quillbox/licenses/jsmin/LICENSE"
check "bin/quillbox-cli links into the program directory" \
    test "$(readlink "$prefix/bin/quillbox-cli")" = ../lib/quillbox/quillbox-cli
check "the icon is 256 pixels" bash -c "file '$prefix/share/icons/hicolor/256x256/apps/quillbox.png' | grep -q '256 x 256'"

snapshot() { (cd "$prefix" && find . -printf '%p %s %T@ %m\n' | sort); }
snapshot >"$work/before"

# A user's environment: no QUILLBOX_HOME, no XDG_CACHE_HOME, the prefix's bin on the PATH;
# the update check at start goes to a closed port on this machine.
as_user() {
    env -u QUILLBOX_HOME -u XDG_CACHE_HOME HOME="$home" PATH="$prefix/bin:/usr/bin:/bin" \
        QUILLBOX_UPDATE_SERVER=http://127.0.0.1:9 "$@"
}
data=$home/.local/share/quillbox

# --- quillbox-cli ---------------------------------------------------------------------
check "quillbox-cli --version" test "$(as_user quillbox-cli --version)" = "quillbox-cli 1.30"
printf 'function greet(n){return "hi "+n;}\r\nvar calc={twice:function(x){return 2*x;}};\r\n' >"$work/greet.js"
printf 'var later=1;\r\n' >"$work/later.js"
check "pack" as_user quillbox-cli pack demo "$work/greet.js" "$work/later.js" -o "$work/demo.js"
check "unpack" as_user quillbox-cli unpack "$work/demo.js" "$work/out" >/dev/null
check "unpack wrote the modules" test -s "$work/out/greet.js" -a -s "$work/out/later.js"
run=$(as_user quillbox-cli run "$work/demo.js" --engine chakra -e 'greet("E")' 2>&1)
check "run --engine chakra finds libChakraCore.so beside it" grep -q '>>\[结果\] hi E' <<<"$run"
check "testpage writes into the home directory" as_user quillbox-cli testpage "$work/demo.js" 2>/dev/null
check "Js_Test.html in ~/.local/share/quillbox" test -s "$data/Js_Test.html"

# --- quillbox -------------------------------------------------------------------------
if [ -x "$program_dir/quillbox" ]; then
    check "quillbox --version" test "$(as_user quillbox --version)" = "quillbox 1.30"
    check "quillbox --help names its options" bash -c "'$prefix/bin/quillbox' --help | grep -q -- '--fault KIND'"
    shot=$work/window.png
    as_user QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
        QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
        timeout 120 quillbox --grab "$shot" "$work/demo.js" >"$work/quillbox.log" 2>&1
    status=$?
    check "the installed quillbox started and showed its window (status $status)" test "$status" -eq 0 -a -s "$shot"
    check "the window picture is a window-sized PNG" bash -c "file '$shot' | grep -Eq 'PNG image data, [0-9]{3,4} x [0-9]{3}'"
    check "settings in ~/.local/share/quillbox" grep -q '^ver=1.30' "$data/Quillbox_config.ini"
    check "the starter library in ~/.local/share/quillbox/lib" test -s "$data/lib/lib.json"
    check "editor assets in ~/.cache" test -s "$home/.cache/QUILLBOX_HTML/QUILLBOX_666BYZORVAN.html"
fi

snapshot >"$work/after"
check "nothing written into the prefix" diff -u "$work/before" "$work/after"

# --- desktop data ---------------------------------------------------------------------
check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/org.quillbox.Quillbox.desktop"
check "appstreamcli validate --no-net" appstreamcli validate --no-net "$prefix/share/metainfo/org.quillbox.Quillbox.metainfo.xml"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    [ -s "$work/quillbox.log" ] && tail -20 "$work/quillbox.log"
    exit 1
fi
echo "all install checks passed"
