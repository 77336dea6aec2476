#!/usr/bin/env bash
# Fetches a test corpus from Debian's packages into a cache outside the
# repository and prints the folder it unpacked to.
#
#   fetch.sh binary PACKAGE [PATH]   apt-get download + extraction; PATH limits
#                                    the extraction to one folder of the package
#                                    (e.g. usr/share/go-1.19/src/image)
#   fetch.sh source PACKAGE          apt-get source (needs a deb-src entry)
#
# The cache is $TAVO_CORPORA_CACHE, else $XDG_CACHE_HOME/tavotavo-corpora, else
# ~/.cache/tavotavo-corpora. A second call finds the unpacked folder and prints
# it at once. Exits non-zero with a message on standard error when the package
# cannot be had (no network, no package lists); tests then skip.
set -euo pipefail

kind=${1:?usage: fetch.sh binary|source PACKAGE [PATH]}
package=${2:?usage: fetch.sh binary|source PACKAGE [PATH]}
subpath=${3:-}
cache=${TAVO_CORPORA_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/tavotavo-corpora}
dir="$cache/$kind-$package"
mkdir -p "$dir"

# Several tests may ask at once: one fetches, the others wait for it.
exec 9>"$dir/.lock"
flock 9

if [[ -f "$dir/.done" ]]; then
  cat "$dir/.done"
  exit 0
fi

# apt-get needs package lists; a fresh machine may have none yet.
with_lists() {
  if "$@" >>"$dir/fetch.log" 2>&1; then return 0; fi
  if [[ $(id -u) -eq 0 ]]; then
    apt-get update >>"$dir/fetch.log" 2>&1 || true
    "$@" >>"$dir/fetch.log" 2>&1 && return 0
  fi
  echo "fetch.sh: cannot fetch $kind package $package (see $dir/fetch.log)" >&2
  return 1
}

cd "$dir"
case "$kind" in
binary)
  rm -f ./*.deb
  with_lists apt-get download "$package"
  deb=$(ls ./*.deb | head -n 1)
  rm -rf root && mkdir root
  if [[ -n "$subpath" ]]; then
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C root --wildcards "./${subpath#/}/*"
    result="$dir/root/${subpath#/}"
  else
    dpkg-deb -x "$deb" root
    result="$dir/root"
  fi
  rm -f "$deb"
  ;;
source)
  rm -rf src && mkdir src && cd src
  with_lists apt-get source "$package"
  result=$(find "$dir/src" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [[ -n "$result" ]] || { echo "fetch.sh: apt-get source $package unpacked nothing" >&2; exit 1; }
  ;;
*)
  echo "fetch.sh: unknown kind $kind" >&2
  exit 2
  ;;
esac
echo "$result" >"$dir/.done"
echo "$result"
