#!/usr/bin/env bash
# Fetches every corpus of corpora.txt and checks that the system's package
# set-up is exactly as before (the contents and metadata of /etc/apt, the
# system's package lists), and that a second fetch finds everything in the
# cache without running apt at all. Skips (77) when nothing can be fetched.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }

# A checksum of /etc/apt (names, modes, sizes, times, link targets and the
# contents of every file this user may read) and of the system's lists.
system_state() {
  {
    find /etc/apt -printf '%p %m %s %T@ %l\n' | sort
    find /etc/apt -type f -readable -print0 | sort -z | xargs -0 -r sha256sum
    find /var/lib/apt/lists -maxdepth 1 -printf '%p %m %s %T@\n' 2>/dev/null | sort
  } | sha256sum
}

corpora=()
while read -r line; do
  case "$line" in '' | \#*) continue ;; esac
  corpora+=("$line")
done <"$here/corpora.txt"

before=$(system_state)
fetched=()
for corpus in "${corpora[@]}"; do
  # shellcheck disable=SC2086 # the line holds the arguments
  if folder=$("$here/fetch.sh" $corpus); then
    [ -d "$folder" ] || fail "fetch.sh $corpus printed $folder, which is no folder"
    echo "fetched: $corpus -> $folder ($(du -sh "$folder" | cut -f1))"
    fetched+=("$corpus")
  else
    echo "not fetched: $corpus"
  fi
done
[ "$(system_state)" = "$before" ] || fail "the fetch changed /etc/apt or the system's package lists"
echo "/etc/apt and the system's package lists are as they were"

[ ${#fetched[@]} -gt 0 ] || { echo "no corpus could be fetched (no network?)" >&2; exit 77; }
# A second fetch: apt-get is a stand-in that records any call and fails.
stub=$(mktemp -d)
trap 'rm -rf "$stub"' EXIT
printf '#!/bin/sh\necho "apt-get $*" >>"%s/calls"\nexit 1\n' "$stub" >"$stub/apt-get"
chmod +x "$stub/apt-get"
for corpus in "${fetched[@]}"; do
  # shellcheck disable=SC2086
  PATH="$stub:$PATH" "$here/fetch.sh" $corpus >/dev/null || fail "a second fetch of $corpus failed"
done
[ ! -e "$stub/calls" ] || fail "a second fetch ran apt: $(cat "$stub/calls")"
echo "a second fetch of each ran apt not at all"
echo "PASS"
