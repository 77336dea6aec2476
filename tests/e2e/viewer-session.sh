# Shared steps of the end-to-end tests, sourced by them (inside xvfb-session.sh):
# a copy of the program of the test's own, starting it in a folder, waiting for
# titles, keys and clicks through the X server, and ending it with ESC.
#   source viewer-session.sh; setup_viewer VIEWER WORKDIR

fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in xdotool xprop; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
unset QT_QPA_PLATFORM

viewer_pids=()
stop_viewers() {
  for pid in "${viewer_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${viewer_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_viewers EXIT

# Copies the start program and the window program into WORKDIR/bin, so that
# the settings file beside them is this test's alone; sets $viewer and $work.
setup_viewer() {
  local build=$1
  work=$2
  rm -rf "$work"
  mkdir -p "$work/bin"
  cp "$build" "$(dirname "$build")/tavotavo-viewer" "$work/bin/"
  viewer="$work/bin/tavotavo"
  export XDG_CONFIG_HOME="$work/config"
}

# The window's first type as the toolkit declares it: NORMAL for the main
# window, DIALOG for a message box.
window_type() {
  xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | sed -n 's/^[^=]*= _NET_WM_WINDOW_TYPE_\([A-Z]*\).*/\1/p'
}

# The visible windows of the viewer process titled by the regular expression $1
# and of type $2.
viewer_windows() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$viewer_pid" --name "$1" 2>/dev/null || true); do
    [ "$(window_type "$id")" = "$2" ] && echo "$id"
  done
  return 0
}

title_of() {
  xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

# Starts the viewer in folder $1 with the remaining arguments and waits for its
# main window, whose title begins with "TavoTavo"; sets $window and $viewer_pid.
start_viewer() {
  local folder=$1
  shift
  (cd "$folder" && exec "$viewer" "$@") &
  viewer_pid=$!
  viewer_pids+=("$viewer_pid")
  window=""
  # Generous: the machine these run on may be busy.
  for _ in $(seq 1 400); do
    window=$(viewer_windows '^TavoTavo' NORMAL | head -n 1)
    [ -n "$window" ] && return 0
    kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer ended early"
    sleep 0.05
  done
  fail "no viewer window appeared"
}

# Waits until the title of window $1 matches the regular expression $2; prints it.
wait_title() {
  local name=""
  for _ in $(seq 1 300); do
    name=$(title_of "$1")
    if [[ $name =~ $2 ]]; then
      echo "$name"
      return 0
    fi
    sleep 0.05
  done
  fail "title '$name' never matched '$2'"
}

# The error boxes of the viewer: dialogs titled exactly "TavoTavo".
error_boxes() {
  viewer_windows '^TavoTavo$' DIALOG
}

wait_error_box() {
  local box=""
  for _ in $(seq 1 300); do
    box=$(error_boxes | head -n 1)
    [ -n "$box" ] && { echo "$box"; return 0; }
    sleep 0.05
  done
  fail "no error box appeared"
}

# Keys go through the X server to the focused window, as a user's do.
press() {
  xdotool windowfocus --sync "$window"
  xdotool key "$@"
}

# Clicks the left button at ($2, $3) inside window $1; further arguments are
# options of xdotool click (--repeat 2 for a double click).
click_at() {
  local target=$1 x=$2 y=$3
  shift 3
  xdotool mousemove --sync --window "$target" "$x" "$y"
  xdotool click "$@" 1
}

# Ends the viewer with ESC and waits for it to end normally.
quit_viewer() {
  press Escape
  for _ in $(seq 1 300); do
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$viewer_pid" 2>/dev/null && fail "ESC did not end the viewer"
  wait "$viewer_pid" || fail "the viewer did not end normally"
}
