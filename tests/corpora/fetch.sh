#!/usr/bin/env bash
# Fetches a test corpus from Debian's packages into the corpus cache and prints
# the folder that holds it.
#
#   fetch.sh binary PACKAGE [PATH]   apt-get download, then unpacking; PATH keeps
#                                    one folder of the package's files
#                                    (e.g. usr/share/go-1.19/src/image)
#   fetch.sh source PACKAGE [PATH]   apt-get source; PATH keeps one folder of the
#                                    source tree (e.g. Tests/images/bmp)
#
# The cache is $TAVO_CORPORA_CACHE, else $XDG_CACHE_HOME/tavo-corpora, else
# ~/.cache/tavo-corpora. Only the folder asked for is kept, once; the packages
# themselves are removed after unpacking. A second call finds it and prints it
# without running apt at all.
#
# Nothing is installed and the system's package set-up is never touched: apt
# runs with a configuration of the cache's own (its own sources list with the
# Debian 12 archive's deb and deb-src entries, its own package lists and
# download folders), so it works without root and without a deb-src entry in
# /etc/apt. Exits non-zero with the reason on standard error when the package
# cannot be had (no network, ...); tests then skip.
set -euo pipefail

usage="usage: fetch.sh binary|source PACKAGE [PATH]"
kind=${1:?$usage}
package=${2:?$usage}
subpath=${3:-}
subpath=${subpath#/}
subpath=${subpath%/}
case "$kind" in binary | source) ;; *) echo "fetch.sh: $usage" >&2; exit 2 ;; esac
case "/$subpath/" in */../*) echo "fetch.sh: PATH must stay inside the package" >&2; exit 2 ;; esac

cache=${TAVO_CORPORA_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/tavo-corpora}
dir="$cache/$kind-$package"
root="$dir/root"
result="$root${subpath:+/$subpath}"
# One line per folder unpacked so far; "." is the whole package.
done_list="$dir/.done"

unpacked() {
  [ -f "$done_list" ] && grep -qxF -e "${subpath:-.}" -e . "$done_list"
}

mkdir -p "$dir"
if unpacked; then
  echo "$result"
  exit 0
fi

# Several tests may ask at once: one fetches, the others wait and find it.
exec 9>"$dir/.lock"
flock 9
if unpacked; then
  echo "$result"
  exit 0
fi

# The private apt configuration, shared by every package of the cache.
apt_dir="$cache/.apt"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
# The native architecture only: data packages are "all", and the lists of
# other architectures the system may use would cost downloads for nothing.
{
  echo "deb [arch=$(dpkg --print-architecture) signed-by=$keyring] http://deb.debian.org/debian bookworm main"
  echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main"
} >"$apt_dir/sources.list.new"
mv "$apt_dir/sources.list.new" "$apt_dir/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  # The package and source indexes only, kept compressed.
  -o "Acquire::Languages=none"
  -o "Acquire::GzipIndexes=true"
)
# As root apt hands downloads to its _apt user, who cannot enter a home folder.
[ "$(id -u)" -eq 0 ] && apt_options+=(-o "APT::Sandbox::User=root")
log="$dir/fetch.log"
: >"$log"

# apt-get with the private configuration; its own lists are read (and made
# the first time) under a lock of the cache's own.
private_apt() {
  (
    flock 8
    apt-get -q "${apt_options[@]}" "$@"
  ) 8>"$apt_dir/.lock" >>"$log" 2>&1
}

# Runs the apt-get command in the current folder; when it fails, the private
# lists are made afresh (a first use, or lists gone stale) and it runs again.
fetch_with_lists() {
  private_apt "$@" && return 0
  private_apt update || { echo "fetch.sh: apt-get update failed (see $log)" >&2; return 1; }
  private_apt "$@" || { echo "fetch.sh: apt-get $1 $package failed (see $log)" >&2; return 1; }
}

work=$(mktemp -d "$dir/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree"
cd "$work"
case "$kind" in
binary)
  fetch_with_lists download "$package" || exit 1
  deb=$(find "$work" -maxdepth 1 -name '*.deb' | head -n 1)
  if [ -n "$subpath" ]; then
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C tree --wildcards "./$subpath/*" 2>>"$log" \
      || { echo "fetch.sh: $package has no $subpath" >&2; exit 1; }
  else
    dpkg-deb -x "$deb" tree
  fi
  top="$work/tree"
  ;;
source)
  command -v dpkg-source >/dev/null || { echo "fetch.sh: dpkg-source is missing (package dpkg-dev)" >&2; exit 1; }
  (cd tree && fetch_with_lists source "$package") || exit 1
  top=$(find "$work/tree" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [ -n "$top" ] || { echo "fetch.sh: apt-get source $package unpacked nothing" >&2; exit 1; }
  ;;
esac
[ -d "$top/${subpath:-.}" ] || { echo "fetch.sh: $package has no ${subpath:-files}" >&2; exit 1; }

# Into place: the whole tree, or the one folder beside what is there already.
mkdir -p "$root"
if [ -z "$subpath" ]; then
  rm -rf "$root"
  mv "$top" "$root"
else
  mkdir -p "$(dirname "$result")"
  rm -rf "$result"
  mv "$top/$subpath" "$result"
fi
echo "${subpath:-.}" >>"$done_list"
echo "$result"
