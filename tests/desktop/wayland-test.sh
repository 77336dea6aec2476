#!/usr/bin/env bash
# A Wayland session that also offers X: wayland-test.sh VIEWER WORKDIR   (inside xvfb-session.sh)
# With weston's headless compositor and the Xvfb both present, the viewer
# shows its window on the X server; when the user chooses Wayland it runs
# there, and each belongs to the instance folder of its own display.
set -euo pipefail
viewer_build=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/viewer-windows.sh"
need_tools weston xdotool xprop
# Without Qt's Wayland platform a viewer could not have gone to Wayland anyway.
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 \
  || { echo "Qt's Wayland platform is not installed (package qt6-wayland)" >&2; exit 77; }

rm -rf "$work"
mkdir -p "$work/bin"
cp "$viewer_build" "$(dirname "$viewer_build")/tavotavo-viewer" "$work/bin/"
"$here/../e2e/write-bmp.sh" "$work/first.bmp" 40 30
export XDG_CONFIG_HOME="$work/config"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

weston --backend=headless-backend.so --socket=tavo-wayland --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do
  [ -S "$XDG_RUNTIME_DIR/tavo-wayland" ] && break
  sleep 0.05
done
[ -S "$XDG_RUNTIME_DIR/tavo-wayland" ] || { cat "$work/weston.log" >&2; fail "weston did not start"; }
# What a Wayland desktop session sets; left to itself Qt would then choose Wayland.
export WAYLAND_DISPLAY=tavo-wayland XDG_SESSION_TYPE=wayland
unset QT_QPA_PLATFORM

"$work/bin/tavotavo" "$work/first.bmp" &
pids+=($!)
window=$(window_of "$!")
wait_title "$window" "first.bmp(40 × 30)"
[ -S "$XDG_RUNTIME_DIR/tavotavo-x11-$DISPLAY/TfrmTavo2MainForm" ] || fail "the viewer does not listen as the X display's viewer"

# The user's choice stands: a viewer for the Wayland display, beside the X one.
QT_QPA_PLATFORM=wayland "$work/bin/tavotavo" "$work/first.bmp" &
wayland_pid=$!
pids+=($wayland_pid)
socket="$XDG_RUNTIME_DIR/tavotavo-wayland-tavo-wayland/TfrmTavo2MainForm"
for _ in $(seq 1 200); do
  [ -S "$socket" ] && break
  kill -0 "$wayland_pid" 2>/dev/null || fail "the Wayland viewer ended"
  sleep 0.05
done
[ -S "$socket" ] || fail "no viewer listens for the Wayland display"
sleep 2
kill -0 "$wayland_pid" 2>/dev/null || fail "the Wayland viewer ended"
on_x=$(xdotool search --all --pid "$wayland_pid" --name "^TavoTavo" 2>/dev/null || true)
[ -z "$on_x" ] || fail "the Wayland viewer opened its window on X"
echo "PASS"
