# Sourced by the scripts that build from Debian's own source packages (fetch-duktape.sh,
# build-windows-deps.sh). The deb-src entry and apt's lists live in a private directory
# under the caller's cache, so the system's apt configuration is never changed.
#
#   debian_source CACHE PACKAGE DEST
#       fetches PACKAGE's source (bookworm), unpacks it under DEST and prints its directory.
#       apt's lists are brought up to date once per calling script.
debian_source() {
  local cache=$1 package=$2 dest=$3
  local apt_dir=$cache/apt unpacked
  command -v apt-get >/dev/null && command -v dpkg-source >/dev/null || {
    echo "$package: apt-get and dpkg-source (dpkg-dev) are needed to fetch its source" >&2
    return 1
  }
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d" "$dest"
  local options=(
    -o "Dir::Etc::SourceList=$apt_dir/sources.list"
    -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache"
    -o "APT::Sandbox::User=$(id -un)"
    -o "Debug::NoLocking=1"
  )
  # $$ is the calling script's own process, in a command substitution too.
  if [ ! -f "$apt_dir/updated-$$" ]; then
    echo "deb-src http://deb.debian.org/debian bookworm main" > "$apt_dir/sources.list"
    apt-get -qq "${options[@]}" update >&2 || return 1
    rm -f "$apt_dir"/updated-*
    touch "$apt_dir/updated-$$"
  fi
  rm -rf "$cache/download" && mkdir -p "$cache/download"
  (cd "$cache/download" && apt-get -qq "${options[@]}" source "$package" >&2) || return 1
  unpacked=$(find "$cache/download" -mindepth 1 -maxdepth 1 -type d -name "$package-[0-9]*" | head -n1)
  [ -n "$unpacked" ] || { echo "$package: its source package did not unpack" >&2; return 1; }
  rm -rf "${dest:?}/$(basename "$unpacked")"
  mv "$unpacked" "$dest/"
  rm -rf "$cache/download"
  echo "$dest/$(basename "$unpacked")"
}
