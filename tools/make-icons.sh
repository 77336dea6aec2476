#!/usr/bin/env bash
# Renders the program's icon, desktop/tavotavo.svg, into the PNG sizes of the
# hicolor theme under desktop/icons/. The PNGs are kept in the repository, so
# that building needs no SVG renderer; run this after changing the drawing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (package librsvg2-bin)" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  folder="$top/desktop/icons/hicolor/${size}x${size}/apps"
  mkdir -p "$folder"
  rsvg-convert -w "$size" -h "$size" "$top/desktop/tavotavo.svg" -o "$folder/tavotavo.png"
done
