#!/usr/bin/env bash
# Drives the real viewer with keys from outside: F4, F3 and SPACE change the
# title as expected, and ESC ends the process with the settings written.
#   keys-test.sh VIEWER WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
viewer=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in xdotool xprop; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
rm -rf "$work"
mkdir -p "$work/bin" "$work/pictures"
# A copy of the program (its start program and the viewer) of its own: its
# settings file lives beside it.
cp "$viewer" "$work/bin/tavotavo"
cp "$(dirname "$viewer")/tavotavo-viewer" "$work/bin/tavotavo-viewer"
"$here/write-bmp.sh" "$work/pictures/a.bmp" 315 200
"$here/write-bmp.sh" "$work/pictures/b.bmp" 630 100
"$here/write-bmp.sh" "$work/pictures/c.png" 10 10

"$work/bin/tavotavo" "$work/pictures/a.bmp" &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }

# Waits until the window's title matches the pattern; prints it.
wait_title() {
  local pattern=$1 name=""
  for _ in $(seq 1 300); do
    name=$(title_of "$window")
    if [[ $name =~ $pattern ]]; then
      echo "$name"
      return 0
    fi
    sleep 0.05
  done
  echo "title '$name' never matched '$pattern'" >&2
  return 1
}

window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --name '^TavoTavo \[a\.bmp' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 $pid 2>/dev/null || { echo "the viewer ended early" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no viewer window" >&2; exit 1; }
wait_title '^TavoTavo \[a\.bmp\(315 × 200\)\] - 拡大率 200%$'
# Keys go through the X server to the focused window, as a user's do.
press() {
  xdotool windowfocus --sync "$window"
  xdotool key "$@"
}

press F4
wait_title '^TavoTavo \[a\.bmp\(315 × 200\)\] - 拡大率 100%$'
press F3
whole=$(wait_title '^TavoTavo \[a\.bmp\(315 × 200\)\] - 拡大率 [0-9]+%$')
[ "$whole" != 'TavoTavo [a.bmp(315 × 200)] - 拡大率 100%' ] || { echo "F3 did not fit the picture" >&2; exit 1; }
# SPACE goes to the next .bmp of the folder and fits it whole, as F3 left the mode.
press space
wait_title '^TavoTavo \[b\.bmp\(630 × 100\)\] - 拡大率 100%$'
# At the last line SPACE does nothing; BACKSPACE goes back.
press space BackSpace
wait_title '^TavoTavo \[a\.bmp\(315 × 200\)\]'

press Escape
for _ in $(seq 1 300); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.05
done
if kill -0 $pid 2>/dev/null; then
  echo "ESC did not end the viewer" >&2
  exit 1
fi
wait $pid || { echo "the viewer did not end normally" >&2; exit 1; }
trap - EXIT
settings="$work/bin/TavoTavo.INI"
[ -f "$settings" ] || { echo "no settings file written at $settings" >&2; exit 1; }
grep -q '^Button=Full' "$settings" || { echo "the zoom mode was not stored:" >&2; cat "$settings" >&2; exit 1; }
echo "keys drove the viewer; settings written:"
cat "$settings"
