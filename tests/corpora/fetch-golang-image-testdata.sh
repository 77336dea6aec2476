#!/bin/sh
# Fetches Go 1.19's image test data (Debian binary package golang-1.19-src) into a
# cache outside the repository and prints the folder that holds it. Exit 3 when
# the package cannot be had (no network, no apt): callers skip then.
# The cache is $TAVO_CORPUS_CACHE, else $XDG_CACHE_HOME/tavotavo-corpora, else
# ~/.cache/tavotavo-corpora.
set -eu
package=golang-1.19-src
cache=${TAVO_CORPUS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavotavo-corpora}
root=$cache/$package
data=$root/usr/share/go-1.19/src/image
mkdir -p "$cache"
# Tests run in parallel and may all ask at once: one fetches, the others wait.
exec 9>"$cache/.$package.lock"
flock 9
if [ ! -d "$data/testdata" ]; then
  work=$(mktemp -d "$cache/.$package.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  if ! (cd "$work" && apt-get download "$package" >/dev/null 2>&1); then
    echo "cannot download $package" >&2
    exit 3
  fi
  dpkg -x "$work"/"$package"_*.deb "$work/root"
  rm -rf "$root"
  mv "$work/root" "$root"
fi
echo "$data"
