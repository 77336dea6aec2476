#!/usr/bin/env bash
# Time to the first paint with and without plug-ins: the viewer copied into two
# folders, one with the shipped plug-ins and the plug-in host beside it, one
# with neither, started in turn on the same JPEG inside one Xvfb server. Prints
# the median time from the process start to the picture's pixels on screen.
# The plug-in search (and so the host's start) comes after the first paint, so
# the two should match.
#   bench/plughost/first-paint.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
rounds=${2:-11}

cmake --build "$build" --target tavotavo tavotavo-viewer tavotavo-spi-host ifpng ifjpeg launch_make_jpeg launch_pixel_probe -j2 >/dev/null
picture="$build/bench/launch/photo-24mp.jpg"
[ -f "$picture" ] || "$build/bin/launch_make_jpeg" "$picture"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/with" "$work/without" "$work/config" "$work/results"
cp "$build/bin/tavotavo" "$build/bin/tavotavo-viewer" "$work/without/"
cp "$build/bin/tavotavo" "$build/bin/tavotavo-viewer" "$build/bin/tavotavo-spi-host" \
   "$build/bin/ifpng.spi" "$build/bin/ifjpeg.spi" "$work/with/"
unset QT_QPA_PLATFORM TAVO_SPI_HOST
export XDG_CONFIG_HOME="$work/config" PROBE="$build/bin/launch_pixel_probe" PICTURE="$picture" \
       WORK="$work" ROUNDS="$rounds"
"$top/tests/e2e/xvfb-session.sh" --screen 1280x1024x24 -- bash -c '
  set -euo pipefail
  for round in $(seq 1 "$ROUNDS"); do
    for kind in with without; do
      "$PROBE" 10000 "$WORK/$kind/tavotavo" "$PICTURE" >>"$WORK/results/$kind" 2>>"$WORK/results/$kind.log" ||
        echo "$kind: failed run" >&2
    done
  done'
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for kind in with without; do
  printf "%-8s plug-ins: %3d runs, median %s ms to the first paint\n" "$kind" \
    "$(wc -l <"$work/results/$kind")" "$(cut -d" " -f1 "$work/results/$kind" | median)"
done
