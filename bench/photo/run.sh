#!/usr/bin/env bash
# What upright pictures and true colours cost: the generated 24-megapixel
# baseline JPEG with EXIF orientation 6 against the same file with orientation
# 1, and with an embedded Adobe RGB profile against none, through
# tavotavo-decode --time (decode only). The four runs of a round follow each
# other so that all see the same machine noise; the medians give the ratios.
# Needs exiftool and the profiles of icc-profiles-free.
# usage: bench/photo/run.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
rounds=${2:-15}
profile=/usr/share/color/icc/compatibleWithAdobeRGB1998.icc
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-photo-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

plain=$work/plain.jpg
"$build/bin/tavotavo-make-samples" --jpeg 6000 4000 "$plain"
for o in 1 6; do
  cp "$plain" "$work/o$o.jpg"
  exiftool -q -overwrite_original -n -Orientation=$o "$work/o$o.jpg"
done
cp "$plain" "$work/adobe.jpg"
exiftool -q -overwrite_original "-icc_profile<=$profile" "$work/adobe.jpg"
echo "picture: 6000 x 4000 baseline, $(stat -c %s "$plain") bytes"

decode() { "$build/bin/tavotavo-decode" "$work/$1.jpg" "$work/out.bmp" --time; }
# The decode time it prints, and the user processor time of the whole run
# (with the program's start and the BMP's writing, the same on every side):
# the decoder may finish rows on a second thread, which the first hides.
TIMEFORMAT=%3U
measure() {
  { time decode "$1" >"$work/ms"; } 2>"$work/cpu"
  times[$1]+="$(<"$work/ms") "
  cpus[$1]+="$(awk '{print $1 * 1000}' "$work/cpu") "
}
names=(o1 o6 plain adobe)
declare -A times cpus
for n in "${names[@]}"; do decode "$n" >/dev/null; done # warm the page cache
for ((i = 0; i < rounds; i++)); do
  for n in "${names[@]}"; do measure "$n"; done
done

median() { printf '%s\n' $1 | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
declare -A m c
for n in "${names[@]}"; do
  m[$n]=$(median "${times[$n]}")
  c[$n]=$(median "${cpus[$n]}")
done
printf 'rounds: %d, medians of tavotavo-decode --time\n' "$rounds"
printf 'orientation 1:      %8.1f ms\n' "${m[o1]}"
printf 'orientation 6:      %8.1f ms\n' "${m[o6]}"
printf 'no profile:         %8.1f ms\n' "${m[plain]}"
printf 'Adobe RGB profile:  %8.1f ms\n' "${m[adobe]}"
printf 'ratio turn (6 / 1):            %.3f (goal at most 1.15)\n' "$(awk "BEGIN {print ${m[o6]} / ${m[o1]}}")"
printf 'ratio colour (Adobe / none):   %.3f (goal at most 1.30)\n' "$(awk "BEGIN {print ${m[adobe]} / ${m[plain]}}")"
printf 'user processor time of the whole run, medians: %.0f, %.0f, %.0f, %.0f ms\n' "${c[o1]}" "${c[o6]}" "${c[plain]}" "${c[adobe]}"
printf 'processor ratio turn: %.3f, colour: %.3f\n' "$(awk "BEGIN {print ${c[o6]} / ${c[o1]}}")" \
  "$(awk "BEGIN {print ${c[adobe]} / ${c[plain]}}")"
