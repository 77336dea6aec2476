#!/usr/bin/env bash
# Fetches the BMP suite (folders g, q and b: good, questionable, bad) of Debian's source package
# pillow into a cache outside the repository and prints the folder that holds
# g/, q/ and b/. Exits non-zero, with the reason on standard error, when the
# suite cannot be had (no network, no deb-src entry and no root to add one, ...).
set -euo pipefail

cache=${TAVO_CORPORA:-${XDG_CACHE_HOME:-$HOME/.cache}/tavo-corpora}
target="$cache/pillow-bmp"
if [ -d "$target/g" ]; then
  echo "$target"
  exit 0
fi
# Tests run in parallel: one fetch at a time, the others then find the result.
mkdir -p "$cache"
exec 9>"$cache/.pillow-bmp.lock"
flock 9
if [ -d "$target/g" ]; then
  echo "$target"
  exit 0
fi

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then sudo "$@"; else return 1; fi
}

# apt-get source needs a deb-src entry; Debian 12 images often ship only "deb".
has_deb_src() {
  grep -qsE '^(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources 2>/dev/null
}
if ! has_deb_src; then
  src_list=/etc/apt/sources.list.d/tavo-deb-src.sources
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm bookworm-updates' \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >/tmp/tavo-deb-src.$$ \
    && as_root install -m 0644 /tmp/tavo-deb-src.$$ "$src_list" \
    || { rm -f /tmp/tavo-deb-src.$$; echo "no deb-src entry and no root to add one" >&2; exit 1; }
  rm -f /tmp/tavo-deb-src.$$
  as_root apt-get update -qq >/dev/null 2>&1 || { echo "apt-get update failed" >&2; exit 1; }
fi
command -v dpkg-source >/dev/null || as_root apt-get install -y -qq dpkg-dev >/dev/null 2>&1 || true

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-pillow.XXXXXX")
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && apt-get source -qq pillow >/dev/null 2>"$work/err"); then
  # The package lists may simply be stale.
  as_root apt-get update -qq >/dev/null 2>&1 || true
  (cd "$work" && apt-get source -qq pillow >/dev/null 2>"$work/err") \
    || { echo "apt-get source pillow failed: $(tail -n 3 "$work/err")" >&2; exit 1; }
fi
suite=$(find "$work" -type d -path '*/Tests/images/bmp' | head -n 1)
[ -n "$suite" ] && [ -d "$suite/g" ] || { echo "pillow source has no Tests/images/bmp/g" >&2; exit 1; }
rm -rf "$target.tmp"
cp -r "$suite" "$target.tmp"
mv "$target.tmp" "$target"
echo "$target"
