#!/usr/bin/env bash
# Starts the viewer with a generated picture and checks from outside, through
# the X server, that a window with the exact title line appears.
#   title-test.sh VIEWER WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
viewer=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in xdotool xprop; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
unset QT_QPA_PLATFORM
mkdir -p "$work"
picture="$work/e2e picture.bmp"
"$here/write-bmp.sh" "$picture" 315 200

# The default window is half the 1280-pixel screen wide: 640 pixels, minus the
# 10-pixel split panel leaves a 630-pixel work area; fitting the width of a
# 315-pixel picture gives 200%.
expected='TavoTavo [e2e picture.bmp(315 × 200)] - 拡大率 200%'

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
