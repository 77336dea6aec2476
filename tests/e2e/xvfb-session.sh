#!/usr/bin/env bash
# Runs a command inside a fresh Xvfb server on a free display and stops the
# server afterwards, whatever the command does. The command's exit status is
# the script's.
#
#   xvfb-session.sh [--screen 1280x1024x24] -- command [arguments...]
#
# The server picks its own free display (-displayfd), so parallel runs never
# collide. DISPLAY is set for the command; XVFB_PID names the server.
set -euo pipefail

screen=1280x1024x24
while [ $# -gt 0 ]; do
  case "$1" in
    --screen) screen=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "usage: $0 [--screen WxHxD] -- command..." >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--screen WxHxD] -- command..." >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is not installed (package xvfb)" >&2; exit 77; }

fifo_dir=$(mktemp -d)
mkfifo "$fifo_dir/display"
# -noreset: without it the server resets whenever its last client leaves, and
# a program that connects in that instant is refused.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fifo_dir/display" 2>"$fifo_dir/log" &
xvfb_pid=$!
stop_server() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$fifo_dir"
}
trap stop_server EXIT

# The server writes its display number once it accepts connections.
if ! read -r -t 20 number <"$fifo_dir/display"; then
  echo "Xvfb did not start:" >&2
  cat "$fifo_dir/log" >&2
  exit 1
fi
# A runtime folder of the session's own: a viewer started here never finds, or
# hands its file to, a viewer of another session on the same machine.
mkdir -m 0700 "$fifo_dir/run"
export DISPLAY=":$number" XVFB_PID=$xvfb_pid XDG_RUNTIME_DIR="$fifo_dir/run"
set +e
"$@"
status=$?
set -e
exit $status
