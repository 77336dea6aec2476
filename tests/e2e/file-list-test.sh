#!/usr/bin/env bash
# The file list's highlight always shows its selected line, seen on screen:
# a click on the narrow panel shows the list with the current file's line
# highlighted; a click and a double click in the empty part below the lines
# leave the highlight where it was; SPACE moves it with the next picture.
#   file-list-test.sh VIEWER WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/viewer-session.sh"
command -v import >/dev/null || { echo "import is not installed (package imagemagick)" >&2; exit 77; }
setup_viewer "$1" "$2"
mkdir -p "$work/pics"
for name in a b c; do "$here/write-bmp.sh" "$work/pics/$name.bmp" 40 30; done

geometry() { xdotool getwindowgeometry --shell "$window" | sed -n "s/^$1=//p"; }

# The rows of the window where the list shows a highlighted line, as "first
# last": columns 60 to 95, inside the list, right of the names.
highlight() {
  import -window "$window" -depth 8 -crop "36x$height+60+0" +repage ppm:- | python3 "$here/screen-pixels.py" band 0 35
}

# Waits until the highlight is at rows $1 (or "none"); prints where it is.
wait_highlight() {
  local band=""
  for _ in $(seq 1 100); do
    band=$(highlight)
    [ "$band" = "$1" ] && return 0
    sleep 0.05
  done
  fail "the highlight is at '$band', expected '$1'"
}

start_viewer "$work/pics" a.bmp
wait_title "$window" '^TavoTavo \[a\.bmp' >/dev/null
height=$(geometry HEIGHT)
[ "$(highlight)" = none ] || fail "a highlight shows before the list is shown"

# The narrow panel at the window's left edge, below the toolbar.
click_at "$window" 5 $((height / 2))
band=""
for _ in $(seq 1 100); do
  band=$(highlight)
  [ "$band" != none ] && break
  sleep 0.05
done
[ "$band" != none ] || fail "the list did not show a highlighted line"
read -r first last <<<"$band"
line_height=$((last - first + 1))
echo "the list shows a.bmp highlighted at rows $band"

# A click, then a double click, in the empty part of the list below its three lines.
click_at "$window" 50 $((height - 20))
sleep 0.3
wait_highlight "$band"
click_at "$window" 50 $((height - 20)) --repeat 2 --delay 80
sleep 0.3
wait_highlight "$band"
wait_title "$window" '^TavoTavo \[a\.bmp' >/dev/null
echo "clicks in the empty part leave the highlight on a.bmp"

# The list keeps the keys while it has the focus: hiding it (a click on the
# panel, now right of it) gives them back; SPACE then loads b.bmp, and the
# list shown again highlights its line.
click_at "$window" 105 $((height / 2))
wait_highlight none
press space
wait_title "$window" '^TavoTavo \[b\.bmp' >/dev/null
click_at "$window" 5 $((height / 2))
wait_highlight "$((first + line_height)) $((last + line_height))"
echo "SPACE moved the highlight to b.bmp"
quit_viewer
echo "PASS"
