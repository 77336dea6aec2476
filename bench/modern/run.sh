#!/usr/bin/env bash
# Decode of a generated 24-megapixel HEIC, AVIF and JPEG XL picture:
# tavotavo-decode (plug-in, host, BMP) against each library's own decoder tool
# writing the same picture, side by side. The runs alternate so that both see
# the same machine noise; the medians of the wall times give the ratios.
#   heif-convert writes Y4M: libheif 1.15 decodes to RGB planes for every
#   output, as for ours, and turns them back into 4:2:0 YCbCr for the file:
#   one conversion more than ours, into a file half the size of our BMP. It
#   is the only one of its outputs that does not spend most of its time
#   compressing (PNG, JPEG). avifdec writes an uncompressed PNG with all cores (its
#   default is one), djxl writes PPM.
# The pictures take minutes to encode on a small machine, so they are made
# once, niced, into $TAVO_BENCH_CACHE (default ~/.cache/tavotavo-bench).
# usage: bench/modern/run.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
rounds=${2:-11}
cache=${TAVO_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavotavo-bench}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-modern-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$cache"

# A photograph-like 6000 x 4000 picture, the same one for every format.
if [[ ! -f $cache/photo-24mp.jxl || ! -f $cache/photo-24mp.heic || ! -f $cache/photo-24mp.avif ]]; then
  "$build/bin/tavotavo-make-samples" --jpeg 6000 4000 "$work/source.jpg"
  convert "$work/source.jpg" -define png:exclude-chunk=gAMA,cHRM,bKGD,date,tIME -strip PNG24:"$work/source.png"
  [[ -f $cache/photo-24mp.jxl ]] || nice cjxl -d 1 "$work/source.png" "$cache/photo-24mp.jxl"
  [[ -f $cache/photo-24mp.heic ]] || nice heif-enc -q 80 -p preset=faster -o "$cache/photo-24mp.heic" "$work/source.png"
  [[ -f $cache/photo-24mp.avif ]] || nice avifenc -j all -s 8 --min 20 --max 30 "$work/source.png" "$cache/photo-24mp.avif"
fi

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
printf '%-6s %10s %14s %10s %8s  %s\n' format "ours ms" "tool ms" ratio "MB" "tool"
for format in heic avif jxl; do
  picture=$cache/photo-24mp.$format
  case $format in
  heic) tool=(heif-convert --quiet "$picture" "$work/theirs.y4m") ;;
  avif) tool=(avifdec -j all -d 8 --png-compress 0 "$picture" "$work/theirs.png") ;;
  jxl) tool=(djxl "$picture" "$work/theirs.ppm") ;;
  esac
  run_ours() { "$build/bin/tavotavo-decode" "$picture" "$work/ours.bmp" >/dev/null; }
  run_theirs() { "${tool[@]}" >/dev/null 2>&1; }
  run_ours; run_theirs # warm the page cache and both programs
  ours=() theirs=()
  for ((i = 0; i < rounds; i++)); do
    t0=$(now); run_ours; t1=$(now); run_theirs; t2=$(now)
    ours+=($(( (t1 - t0) / 1000 ))); theirs+=($(( (t2 - t1) / 1000 )))
  done
  mo=$(median "${ours[@]}"); mt=$(median "${theirs[@]}")
  printf '%-6s %10.1f %14.1f %10.3f %8.1f  %s\n' "$format" "$(awk "BEGIN {print $mo / 1000}")" \
    "$(awk "BEGIN {print $mt / 1000}")" "$(awk "BEGIN {print $mo / $mt}")" \
    "$(awk "BEGIN {print $(stat -c %s "$picture") / 1e6}")" "${tool[0]}"
done
printf 'rounds: %d, medians of wall time, tavotavo-decode writing a 24-bit BMP\n' "$rounds"
