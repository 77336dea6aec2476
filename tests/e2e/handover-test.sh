#!/usr/bin/env bash
# A second start of the program while a viewer runs, seen from outside through
# the X server:  handover-test.sh VIEWER WORKDIR SCENARIO   (inside xvfb-session.sh)
#
# Scenarios: picture, no-argument, two-arguments, relative, minimised,
# same-instant, malformed.
set -euo pipefail
viewer_build=$1 work=$2 scenario=$3
here=$(cd "$(dirname "$0")" && pwd)
for tool in xdotool xprop python3; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done

rm -rf "$work"
mkdir -p "$work/bin" "$work/a" "$work/b"
# A copy of its own keeps this test's settings file apart from every other run.
cp "$viewer_build" "$(dirname "$viewer_build")/tavotavo-viewer" "$work/bin/"
viewer="$work/bin/tavotavo"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
# The viewer of this X display listens in the display's own instance folder.
socket="$XDG_RUNTIME_DIR/tavotavo-x11-$DISPLAY/TfrmTavo2MainForm"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

start_window_manager() {
  command -v openbox >/dev/null || { echo "openbox is not installed" >&2; exit 77; }
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 1 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.05
  done
  fail "openbox did not start"
}

title_of() {
  xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

# The visible main windows of the viewer (their titles begin with TavoTavo).
viewer_windows() {
  xdotool search --onlyvisible --name '^TavoTavo' 2>/dev/null || true
}

# Starts a viewer in folder $1 with the remaining arguments; sets $window.
start_viewer() {
  local folder=$1
  shift
  (cd "$folder" && exec "$viewer" "$@") &
  pids+=($!)
  viewer_pid=$!
  # Generous: the machine these run on may be busy.
  for _ in $(seq 1 400); do
    window=$(xdotool search --onlyvisible --pid "$viewer_pid" --name '^TavoTavo' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && [ -S "$socket" ] && return 0
    kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer ended early"
    sleep 0.05
  done
  xdotool search --name . 2>/dev/null | while read -r w; do echo "window $w: $(title_of "$w")" >&2; done
  ps -o pid,stat,wchan:20,cmd -p "$viewer_pid" >&2 || true
  fail "no viewer window appeared"
}

# Waits until the window's title contains $2.
wait_title() {
  for _ in $(seq 1 200); do
    case "$(title_of "$1")" in *"$2"*) return 0 ;; esac
    sleep 0.05
  done
  fail "title '$(title_of "$1")' never contained '$2'"
}

# Runs a second copy in folder $1 with the remaining arguments; it must end
# with 0 within 10 seconds.
second_copy() {
  local folder=$1
  shift
  local status=0
  (cd "$folder" && exec timeout 10 "$viewer" "$@") || status=$?
  [ "$status" -eq 0 ] || fail "the second copy ended with $status"
}

window_state() {
  xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/^[[:space:]]*window state: //p'
}

# A window of another program that takes the focus away from the viewer.
other_window_forward() {
  xmessage -title other -geometry 200x100+600+600 "other window" &
  pids+=($!)
  local other=""
  for _ in $(seq 1 200); do
    other=$(xdotool search --onlyvisible --name '^other$' 2>/dev/null | head -n 1 || true)
    [ -n "$other" ] && break
    sleep 0.05
  done
  [ -n "$other" ] || fail "no other window"
  xdotool windowactivate --sync "$other"
  [ "$(xdotool getactivewindow)" = "$other" ] || fail "the other window did not take the focus"
}

"$here/write-bmp.sh" "$work/a/first.bmp" 40 30
"$here/write-bmp.sh" "$work/b/second.bmp" 50 20
"$here/write-bmp.sh" "$work/a/same.bmp" 11 11
"$here/write-bmp.sh" "$work/b/same.bmp" 22 33

case "$scenario" in
picture)
  start_viewer "$work/a" first.bmp
  wait_title "$window" "first.bmp(40 × 30)"
  second_copy "$work" "$work/b/second.bmp"
  # The reply comes after the load; the title reaches the X server at the
  # viewer's next flush, a moment later.
  wait_title "$window" "second.bmp(50 × 20)"
  [ "$(viewer_windows | wc -l)" -eq 1 ] || fail "more than one viewer window"
  ;;
no-argument | two-arguments)
  start_window_manager
  start_viewer "$work/a" first.bmp
  wait_title "$window" "first.bmp"
  other_window_forward
  if [ "$scenario" = no-argument ]; then second_copy "$work"; else second_copy "$work/b" second.bmp same.bmp; fi
  for _ in $(seq 1 200); do
    [ "$(xdotool getactivewindow)" = "$window" ] && break
    sleep 0.05
  done
  [ "$(xdotool getactivewindow)" = "$window" ] || fail "the viewer did not come forward"
  sleep 0.2
  case "$(title_of "$window")" in *"first.bmp(40 × 30)"*) ;; *) fail "title changed to '$(title_of "$window")'" ;; esac
  ;;
relative)
  # The viewer stands in a; the second copy in b names same.bmp, which is b's.
  start_viewer "$work/a" first.bmp
  wait_title "$window" "first.bmp"
  second_copy "$work/b" same.bmp
  wait_title "$window" "same.bmp(22 × 33)"
  ;;
minimised)
  start_window_manager
  start_viewer "$work/a" first.bmp
  wait_title "$window" "first.bmp"
  xdotool windowminimize --sync "$window"
  [ "$(window_state "$window")" = Iconic ] || fail "the viewer did not minimise"
  second_copy "$work/b" second.bmp
  for _ in $(seq 1 200); do
    [ "$(window_state "$window")" = Normal ] && break
    sleep 0.05
  done
  [ "$(window_state "$window")" = Normal ] || fail "the viewer stayed minimised"
  wait_title "$window" "second.bmp"
  ;;
same-instant)
  # Two copies released at the same moment: one becomes the viewer, the other
  # hands its file to it and ends with 0.
  gate="$work/gate"
  mkfifo "$gate"
  # Each copy blocks opening the pipe until the writer opens it: both go at once.
  (: <"$gate"; cd "$work/a" && exec "$viewer" first.bmp) &
  one=$!
  pids+=($one)
  (: <"$gate"; cd "$work/b" && exec "$viewer" second.bmp) &
  two=$!
  pids+=($two)
  sleep 0.3
  : >"$gate"
  ended="" running="" status=0
  for _ in $(seq 1 200); do
    if ! kill -0 "$one" 2>/dev/null; then ended=$one running=$two; break; fi
    if ! kill -0 "$two" 2>/dev/null; then ended=$two running=$one; break; fi
    sleep 0.05
  done
  [ -n "$ended" ] || fail "both copies still run"
  wait "$ended" || status=$?
  [ "$status" -eq 0 ] || fail "the second copy ended with $status"
  kill -0 "$running" 2>/dev/null || fail "no viewer runs"
  handed=second.bmp
  [ "$ended" = "$two" ] || handed=first.bmp
  window=""
  for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --pid "$running" --name '^TavoTavo' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.05
  done
  [ -n "$window" ] || fail "the viewer has no window"
  wait_title "$window" "$handed"
  [ "$(viewer_windows | wc -l)" -eq 1 ] || fail "more than one viewer window"
  ;;
malformed)
  start_viewer "$work/a" first.bmp
  wait_title "$window" "first.bmp"
  python3 "$here/handover-flood.py" "$socket" || fail "the flood client failed"
  kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer ended"
  second_copy "$work" "$work/b/second.bmp"
  wait_title "$window" "second.bmp(50 × 20)"
  ;;
*)
  fail "unknown scenario $scenario"
  ;;
esac
echo "PASS: $scenario"
