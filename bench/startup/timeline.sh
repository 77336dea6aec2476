#!/usr/bin/env bash
# Start timeline: where the time to the first picture goes. Starts bin/tavotavo
# ROUNDS times on the launch benchmark's 24-megapixel JPEG inside one Xvfb
# server, a fresh home folder each time, with TAVOTAVO_TIMELINE set so that
# the start program and the viewer mark their phases; the pixel probe adds the
# spawn and the moment the picture's pixels are on screen. Prints for every
# phase the median time since the spawn and the median length of the step
# from the phase before it, so that a change shows which phase moved; then
# the peak memory with that picture, with a tiny one, and of the toolkit's
# floor (startup_toolkit_floor: a bare Qt Widgets window of the viewer's
# size), started in turn with them.
#   bench/startup/timeline.sh [BUILD_DIR] [ROUNDS]
# Phases, in the order they normally come:
#   start          the start program's main (after its dynamic linking)
#   exec-viewer    it has the lock and replaces itself by the viewer
#   viewer         the viewer's main (after Qt's dynamic linking)
#   prefetch/prefetched  the command-line picture decoding on a second thread
#   toolkit        the application object: X connection, platform plug-in
#   window         the main window built (FormCreate included)
#   decode/decoded the load's decode of the command-line picture (or its
#                  wait for the prefetch)
#   loaded         LoadCurFile done (zoom, title, file list)
#   shown          show() returned
#   painted        the image control's first paint
#   search/searched  the plug-in search queued behind the first paint
#   refine/refined   the idle refinement (when it applies)
#   pixels         the picture on the X screen (seen by the probe)
# The "MiB" column is the viewer's resident memory at the phase: where the
# peak memory builds up.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
rounds=${2:-11}

cmake --build "$build" --target tavotavo launch_make_jpeg launch_pixel_probe startup_toolkit_floor -j2 >/dev/null
picture="$build/bench/launch/photo-24mp.jpg"
tiny="$build/bench/launch/photo-tiny.jpg"
[ -f "$picture" ] || "$build/bin/launch_make_jpeg" "$picture"
[ -f "$tiny" ] || "$build/bin/launch_make_jpeg" "$tiny" 200 150

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
export PROBE="$build/bin/launch_pixel_probe" VIEWER="$build/bin/tavotavo" PICTURE="$picture" TINY="$tiny"
export FLOOR="$build/bin/startup_toolkit_floor" RESULTS="$results" ROUNDS="$rounds"
"$top/tests/e2e/xvfb-session.sh" --screen 1920x1080x24 -- bash -c '
  set -euo pipefail
  # One probe run: a fresh home, the marks in FILE.marks, the probe line in FILE.
  run() {
    local file=$1 home
    shift
    home=$(mktemp -d)
    mkdir -m 700 "$home/run"
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$home/run \
      TAVOTAVO_TIMELINE=$file.marks "$PROBE" 10000 "$@" >"$file" 2>>"$RESULTS/log" ||
      echo "failed run" >>"$RESULTS/log"
    rm -rf "$home"
  }
  run "$RESULTS/warm-up" "$VIEWER" "$PICTURE"
  for round in $(seq 1 "$ROUNDS"); do
    run "$RESULTS/big.$round" "$VIEWER" "$PICTURE"
    run "$RESULTS/tiny.$round" "$VIEWER" "$TINY"
    run "$RESULTS/floor.$round" "$FLOOR"
  done'

[ -s "$results/log" ] && { echo "messages of the runs:"; sort "$results/log" | uniq -c | sed 's/^/  /'; }
# The probe files of one kind ("big", "tiny" or "floor"), one per round.
probes() { find "$results" -regex ".*/$1\.[0-9]+" | sort; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Every round's phases as "phase milliseconds-since-spawn", first mark of each
# phase only, in the order of that round's clock.
for probe in $(probes big); do
  read -r ms _ _ spawn <"$probe" || continue
  { cat "$probe.marks" 2>/dev/null; echo "pixels $((spawn + ${ms%.*} * 1000))"; } |
    awk -v spawn="$spawn" '!seen[$1]++ { printf "%s %.1f %s\n", $1, ($2 - spawn) / 1000, $3 == "" ? "-" : $3 }' |
    sort -k2 -n >"$probe.phases"
done
echo "start timeline, $rounds rounds, 24-megapixel JPEG (medians, ms since the spawn)"
printf "%-16s %10s %10s %8s\n" phase "at" "step" "MiB"
phases=$(cat "$results"/big.*.phases | awk '{ s[$1] += $2; n[$1]++ } END { for (p in s) print s[p] / n[p], p }' | sort -n | cut -d" " -f2)
previous=""
for phase in $phases; do
  at=$(cat "$results"/big.*.phases | awk -v p="$phase" '$1 == p { print $2 }' | median)
  step=-
  if [ -n "$previous" ]; then
    # The median of each round's own step, steadier than a difference of medians.
    step=$(for f in "$results"/big.*.phases; do
      awk -v a="$previous" -v b="$phase" '$1 == a { x = $2 } $1 == b { y = $2 } END { if (x != "" && y != "") print y - x }' "$f"
    done | median)
  fi
  kib=$(cat "$results"/big.*.phases | awk -v p="$phase" '$1 == p && $3 != "-" { print $3 }' | median)
  mib=$([ "$kib" = - ] && echo - || awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
  printf "%-16s %10s %10s %8s\n" "$phase" "$at" "$step" "$mib"
  previous=$phase
done
launch=$(probes big | xargs cat | cut -d" " -f1)
printf "launch to pixels: median %s ms, range %s\n" "$(median <<<"$launch")" "$(sort -n <<<"$launch" | sed -n '1p;$p' | paste -sd-)"
for kind in big:"big picture" tiny:"tiny picture" floor:"toolkit floor"; do
  kib=$(probes "${kind%%:*}" | xargs cat | cut -d" " -f2 | median)
  printf "peak memory (VmHWM), %s: median %s MiB\n" "${kind#*:}" "$(awk -v k="$kib" "BEGIN { printf \"%.1f\", k / 1024 }")"
done
