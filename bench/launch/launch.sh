#!/usr/bin/env bash
# Launch to pixels and peak memory: starts bin/tavotavo, feh and gpicview in
# turn on the same 24-megapixel JPEG inside one Xvfb server, interleaved
# round by round, and prints the median time from the start of the process to
# the picture's pixels on screen, the median CPU time the process used until
# then (steadier than the wall clock on a shared machine) and the median peak
# resident memory.
#   bench/launch/launch.sh [BUILD_DIR] [ROUNDS]
# A viewer that is not installed is left out with a note.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
rounds=${2:-11}

cmake --build "$build" --target tavotavo launch_make_jpeg launch_pixel_probe -j2 >/dev/null
picture="$build/bench/launch/photo-24mp.jpg"
[ -f "$picture" ] || "$build/bin/launch_make_jpeg" "$picture"
echo "picture: $picture, $(stat -c %s "$picture") bytes, decoded 6000 × 4000 × 3 = 68.7 MiB"

viewers=("tavotavo:$build/bin/tavotavo")
for v in feh gpicview; do
  if command -v $v >/dev/null; then viewers+=("$v:$(command -v $v)"); else echo "note: $v is not installed"; fi
done

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
unset QT_QPA_PLATFORM
export PROBE="$build/bin/launch_pixel_probe" PICTURE="$picture" RESULTS="$results" ROUNDS="$rounds"
export VIEWERS="${viewers[*]}"
"$top/tests/e2e/xvfb-session.sh" --screen 1280x1024x24 -- bash -c '
  set -euo pipefail
  for round in $(seq 1 "$ROUNDS"); do
    for entry in $VIEWERS; do
      name=${entry%%:*} program=${entry#*:}
      "$PROBE" 10000 "$program" "$PICTURE" >>"$RESULTS/$name" 2>>"$RESULTS/$name.log" || echo "$name: failed run" >&2
    done
  done'

if cat "$results"/*.log 2>/dev/null | grep -q .; then
  echo "messages of the runs:"; cat "$results"/*.log | sort | uniq -c | sed 's/^/  /'
fi
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf "%-10s %6s %12s %16s %18s\n" viewer runs "median ms" "median CPU ms" "median peak MiB"
for entry in ${viewers[*]}; do
  name=${entry%%:*}
  file="$results/$name"
  [ -s "$file" ] || { echo "$name: no successful run"; cat "$file.log" 2>/dev/null | tail -3; continue; }
  ms=$(cut -d' ' -f1 "$file" | median)
  mib=$(cut -d' ' -f2 "$file" | awk '{ print $1 / 1024 }' | median)
  cpu=$(cut -d' ' -f3 "$file" | median)
  printf "%-10s %6d %12s %16s %18.1f\n" "$name" "$(wc -l <"$file")" "$ms" "$cpu" "$mib"
done
