#!/usr/bin/env bash
# A generated 24-megapixel picture in GIF, WebP (lossy and lossless) and TIFF
# (LZW strips), each decoded by tavotavo-decode, which writes a BMP through the
# plug-in, against the format library's own decoder tool writing the same
# picture: gif2rgb (giflib, raw RGB), dwebp -bmp (libwebp), tiff2rgba -n
# (libtiff, uncompressed RGB). The runs alternate so that both see the same
# machine noise; the medians of the wall times give the ratio.
# usage: bench/formats/run.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
rounds=${2:-9}
for tool in djpeg convert cwebp dwebp ppm2tiff tiff2rgba gif2rgb; do
  command -v $tool >/dev/null || { echo "$tool is not installed (see tools/packages.txt)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-formats-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The photo-like test pattern of the JPEG benchmark, as 6000 x 4000 RGB.
"$build/bin/tavotavo-make-samples" --jpeg 6000 4000 "$work/photo.jpg"
djpeg -pnm -outfile "$work/photo.ppm" "$work/photo.jpg"
convert "$work/photo.ppm" +dither -remap netscape: "$work/photo.gif"
cwebp -quiet -q 80 "$work/photo.ppm" -o "$work/photo.webp"
cwebp -quiet -lossless -z 1 "$work/photo.ppm" -o "$work/photo-lossless.webp"
ppm2tiff -c lzw -r 16 "$work/photo.ppm" "$work/photo.tif" 2>/dev/null

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# compare NAME PICTURE REFERENCE-COMMAND...
compare() {
  local name=$1 picture=$2
  shift 2
  local ours=() theirs=()
  run_ours() { "$build/bin/tavotavo-decode" "$picture" "$work/ours.bmp"; }
  run_theirs() { "$@" >/dev/null 2>&1; }
  run_ours; run_theirs "$@" # warm the page cache and both programs
  for ((i = 0; i < rounds; i++)); do
    local t0 t1 t2
    t0=$(now); run_ours; t1=$(now); run_theirs "$@"; t2=$(now)
    ours+=($(( (t1 - t0) / 1000 ))); theirs+=($(( (t2 - t1) / 1000 )))
  done
  local mo mt
  mo=$(median "${ours[@]}"); mt=$(median "${theirs[@]}")
  printf '%-16s %9d bytes  tavotavo-decode %8.1f ms  %-10s %8.1f ms  ratio %.3f\n' "$name" \
    "$(stat -c %s "$picture")" "$(awk "BEGIN {print $mo / 1000}")" "$(basename "$1")" \
    "$(awk "BEGIN {print $mt / 1000}")" "$(awk "BEGIN {print $mo / $mt}")"
}

echo "6000 x 4000 pixels, $rounds rounds each, medians of the wall times"
compare "GIF" "$work/photo.gif" gif2rgb -1 -o "$work/theirs.rgb" "$work/photo.gif"
compare "WebP lossy" "$work/photo.webp" dwebp -bmp "$work/photo.webp" -o "$work/theirs.bmp"
compare "WebP lossless" "$work/photo-lossless.webp" dwebp -bmp "$work/photo-lossless.webp" -o "$work/theirs.bmp"
compare "TIFF LZW" "$work/photo.tif" tiff2rgba -n -c none "$work/photo.tif" "$work/theirs.tif"
