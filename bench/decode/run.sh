#!/usr/bin/env bash
# Decode of a generated 24-megapixel baseline JPEG: tavotavo-decode against
# libjpeg-turbo's djpeg with the same DCT, both writing their BMP. The runs
# alternate so that both see the same machine noise; the medians of the wall
# times give the ratio. tavotavo-decode's own --time (decode only) is shown too.
# usage: bench/decode/run.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
rounds=${2:-15}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-decode-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

picture=$work/photo-24mp.jpg
"$build/bin/tavotavo-make-samples" --jpeg 6000 4000 "$picture"
echo "picture: 6000 x 4000 baseline, $(stat -c %s "$picture") bytes"

now() { date +%s%N; }
ours=() theirs=() inner=()
run_ours() { "$build/bin/tavotavo-decode" "$picture" "$work/ours.bmp" --time; }
run_theirs() { djpeg -dct int -bmp -outfile "$work/theirs.bmp" "$picture"; }
run_ours >/dev/null; run_theirs # warm the page cache and both programs
for ((i = 0; i < rounds; i++)); do
  t0=$(now); ms=$(run_ours); t1=$(now); run_theirs; t2=$(now)
  ours+=($(( (t1 - t0) / 1000 ))); theirs+=($(( (t2 - t1) / 1000 ))); inner+=("$ms")
done
# Both write a 54-byte header (they differ in the image-size field) and then the pixels.
cmp -s <(tail -c +55 "$work/ours.bmp") <(tail -c +55 "$work/theirs.bmp") \
  && echo "pixels: identical" || echo "pixels: DIFFERENT"

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
mo=$(median "${ours[@]}"); mt=$(median "${theirs[@]}"); mi=$(median "${inner[@]}")
printf 'rounds: %d\n' "$rounds"
printf 'tavotavo-decode, whole run:  %8.1f ms (median)\n' "$(awk "BEGIN {print $mo / 1000}")"
printf 'djpeg -dct int -bmp:         %8.1f ms (median)\n' "$(awk "BEGIN {print $mt / 1000}")"
printf 'tavotavo-decode, decode only: %7.1f ms (median of --time)\n' "$mi"
printf 'ratio tavotavo-decode / djpeg: %.3f\n' "$(awk "BEGIN {print $mo / $mt}")"
