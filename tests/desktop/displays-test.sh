#!/usr/bin/env bash
# One viewer per display: displays-test.sh VIEWER WORKDIR   (inside xvfb-session.sh)
# A start on each of two X displays gives two viewers, each on its own
# display; a second start on the first display hands over to the first viewer
# and leaves the other alone.
set -euo pipefail
viewer_build=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/viewer-windows.sh"
need_tools xdotool xprop Xvfb

rm -rf "$work"
mkdir -p "$work/bin"
cp "$viewer_build" "$(dirname "$viewer_build")/tavotavo-viewer" "$work/bin/"
viewer="$work/bin/tavotavo"
for picture in first:40:30 second:50:20 third:60:10; do
  IFS=: read -r name width height <<<"$picture"
  "$here/../e2e/write-bmp.sh" "$work/$name.bmp" "$width" "$height"
done
export XDG_CONFIG_HOME="$work/config"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
start_second_xvfb
pids+=("$second_xvfb_pid")

"$viewer" "$work/first.bmp" &
first_pid=$!
pids+=($first_pid)
first_window=$(window_of "$first_pid")
wait_title "$first_window" "first.bmp(40 × 30)"

DISPLAY=$second_display "$viewer" "$work/second.bmp" &
second_pid=$!
pids+=($second_pid)
second_window=$(DISPLAY=$second_display window_of "$second_pid")
DISPLAY=$second_display wait_title "$second_window" "second.bmp(50 × 20)"
kill -0 "$first_pid" 2>/dev/null || fail "the first viewer ended"
[ -z "$(xdotool search --all --pid "$second_pid" --name '^TavoTavo' 2>/dev/null || true)" ] \
  || fail "the second display's viewer has a window on the first display"

status=0
timeout 10 "$viewer" "$work/third.bmp" || status=$?
[ "$status" -eq 0 ] || fail "the second start on the first display ended with $status"
wait_title "$first_window" "third.bmp(60 × 10)"
DISPLAY=$second_display wait_title "$second_window" "second.bmp(50 × 20)"
echo "PASS"
