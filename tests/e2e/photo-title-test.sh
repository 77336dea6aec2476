#!/usr/bin/env bash
# A photograph stored on its side (200 × 315) with EXIF orientation 6 opens
# upright: the title line shows 315 × 200 and the zoom that fits that width.
#   photo-title-test.sh VIEWER WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
viewer=$1 work=$2
for tool in xdotool xprop convert exiftool; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
unset QT_QPA_PLATFORM
rm -rf "$work"
mkdir -p "$work"
picture="$work/e2e photo.jpg"
convert -size 200x315 gradient:'#3060c0'-'#e0b040' "$picture"
exiftool -q -overwrite_original -n -Orientation=6 "$picture"

# As in title-test.sh: a 630-pixel work area fits a 315-pixel width at 200%.
expected='TavoTavo [e2e photo.jpg(315 × 200)] - 拡大率 200%'

"$viewer" "$picture" &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT

seen=""
for _ in $(seq 1 100); do
  for id in $(xdotool search --name '^TavoTavo' 2>/dev/null || true); do
    name=$(xprop -id "$id" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
    [ -n "$name" ] && seen=$name
    if [ "$name" = "$expected" ]; then
      echo "window $id is titled: $name"
      exit 0
    fi
  done
  kill -0 $pid 2>/dev/null || { echo "the viewer ended early" >&2; exit 1; }
  sleep 0.1
done
echo "no window titled '$expected'; last title seen: '$seen'" >&2
exit 1
