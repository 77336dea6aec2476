#!/usr/bin/env bash
# A second copy started while the viewer's start-up error box is open is
# answered at once: its picture is loaded while the box waits, and the window
# shows it once the box is closed with a key. Two causes of such a box: a
# command-line file that does not load, and a Background value that is no colour.
#   startup-box-test.sh VIEWER WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/viewer-session.sh"
setup_viewer "$1" "$2"
mkdir -m 0700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$work/pics"
"$here/write-bmp.sh" "$work/pics/second.bmp" 50 20
settings="$work/bin/TavoTavo.INI"

# Starts the viewer with $1 as its argument and waits for its error box; then a
# second copy hands second.bmp over; the box is closed with Return.
box_then_hand_over() {
  (cd "$work/pics" && exec "$viewer" "$1") &
  viewer_pid=$!
  viewer_pids+=("$viewer_pid")
  wait_error_box >/dev/null
  local status=0 started=$SECONDS
  # The viewer waits 15 s for a reply it never gets when it does not answer.
  (cd "$work" && exec timeout 10 "$viewer" "$work/pics/second.bmp") || status=$?
  [ "$status" -eq 0 ] || fail "the second copy ended with $status after $((SECONDS - started)) s"
  local box
  box=$(error_boxes | head -n 1)
  [ -n "$box" ] || fail "the error box closed by itself"
  xdotool windowfocus --sync "$box"
  xdotool key Return
  start_viewer_window
  wait_title "$window" '^TavoTavo \[second\.bmp\(50 × 20\)\] - 拡大率 [0-9]+%$' >/dev/null
  [ -z "$(error_boxes)" ] || fail "an error box is still open"
  quit_viewer
}

# The main window of the running viewer ($viewer_pid); sets $window.
start_viewer_window() {
  window=""
  for _ in $(seq 1 400); do
    window=$(viewer_windows '^TavoTavo' NORMAL | head -n 1)
    [ -n "$window" ] && return 0
    sleep 0.05
  done
  fail "the main window did not appear"
}

box_then_hand_over missing.bmp
echo "a missing command-line file: the hand-over was answered while its box was open"

printf '[Other]\nBackground=no colour\n' >"$settings"
box_then_hand_over second.bmp
echo "a bad Background value: the hand-over was answered while its box was open"
echo "PASS"
