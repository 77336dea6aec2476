#!/usr/bin/env bash
# Next-picture timeline: where the time of each step through a folder goes.
# Starts bin/tavotavo ROUNDS times on the first of five copies of the launch
# benchmark's 24-megapixel JPEG inside one Xvfb server (a fresh home folder
# each time), presses SPACE four times 0.7 s apart, and reads the marks the
# viewer writes for every load (TAVOTAVO_TIMELINE). Prints, for the load at
# start and for each of the four next pictures, the medians of:
#   decode   wall time from the load's start to its decoded picture (ms)
#   cpu      processor time of the whole process meanwhile (ms): above the
#            wall time when a second thread worked beside the decoder
#   faults   minor page faults meanwhile
#   shown    wall time from the load's start to its first paint (ms)
# The first next picture is the first to decode into a freed picture's memory;
# it should cost what the later ones do.
#   bench/startup/next-timeline.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
rounds=${2:-9}

cmake --build "$build" --target tavotavo launch_make_jpeg -j2 >/dev/null
picture="$build/bench/launch/photo-24mp.jpg"
[ -f "$picture" ] || "$build/bin/launch_make_jpeg" "$picture"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/folder" "$work/marks"
for n in 1 2 3 4 5; do cp "$picture" "$work/folder/0$n.jpg"; done
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
export VIEWER="$build/bin/tavotavo" WORK="$work" ROUNDS="$rounds"
"$top/tests/e2e/xvfb-session.sh" --screen 1920x1080x24 -- bash -c '
  set -euo pipefail
  for round in $(seq 1 "$ROUNDS"); do
    home=$(mktemp -d)
    mkdir -m 700 "$home/run"
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$home/run \
      TAVOTAVO_TIMELINE="$WORK/marks/$round" "$VIEWER" "$WORK/folder/01.jpg" &
    pid=$!
    window=""
    for _ in $(seq 200); do
      window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1) && [ -n "$window" ] && break
      sleep 0.05
    done
    sleep 1
    for _ in 1 2 3 4; do
      xdotool key --window "$window" space 2>/dev/null
      sleep 0.7
    done
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    rm -rf "$home"
  done'

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Every load of every round as "index decode cpu faults shown".
loads=$(for marks in "$work"/marks/*; do
  awk '$1 == "decode" { n++; t = $2; c = $4; f = $5; d = "" }
       $1 == "decoded" && n { d = sprintf("%.1f %.1f %d", ($2 - t) / 1000, ($4 - c) / 1000, $5 - f) }
       $1 == "painted" && d != "" { printf "%d %s %.1f\n", n - 1, d, ($2 - t) / 1000; d = "" }' "$marks"
done)
echo "next-picture timeline, $rounds rounds, 24-megapixel JPEG (medians)"
printf "%-8s %9s %9s %8s %9s\n" load "decode" "cpu" faults shown
for index in 0 1 2 3 4; do
  column() { awk -v i="$index" -v c="$1" '$1 == i { print $c }' <<<"$loads" | median; }
  name=$([ "$index" = 0 ] && echo start || echo "next $index")
  printf "%-8s %9s %9s %8s %9s\n" "$name" "$(column 2)" "$(column 3)" "$(column 4)" "$(column 5)"
done
