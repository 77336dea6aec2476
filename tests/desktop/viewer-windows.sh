# Shell functions for the end-to-end tests that watch viewer windows through
# the X server of $DISPLAY. Sourced; callers set `set -euo pipefail`.

fail() { echo "FAIL: $*" >&2; exit 1; }

need_tools() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
  done
}

title_of() {
  xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

# Prints the visible viewer window of process $1 once it is shown on $DISPLAY;
# fails when the process ends first or nothing appears in 20 seconds.
window_of() {
  local pid=$1 window=""
  for _ in $(seq 1 400); do
    window=$(xdotool search --all --onlyvisible --pid "$pid" --name '^TavoTavo' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && { echo "$window"; return 0; }
    kill -0 "$pid" 2>/dev/null || fail "the viewer ($pid) ended early"
    sleep 0.05
  done
  fail "no viewer window of $pid on $DISPLAY"
}

# Waits until the title of window $1 contains $2.
wait_title() {
  for _ in $(seq 1 200); do
    case "$(title_of "$1")" in *"$2"*) return 0 ;; esac
    sleep 0.05
  done
  fail "title '$(title_of "$1")' on $DISPLAY never contained '$2'"
}

# Starts an Xvfb of its own on a free display; sets $second_display and
# $second_xvfb_pid. The caller stops it.
start_second_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  second_xvfb_pid=$!
  local number=""
  read -r -t 20 number <"$fifo" || true
  rm -f "$fifo"
  [ -n "$number" ] || fail "the second Xvfb did not start"
  second_display=":$number"
}
