#!/usr/bin/env bash
# A picture named on the command line relative to the folder the viewer is
# started in opens, and SPACE then steps through that picture's folder:
# sub/a.bmp, ./sub/a.bmp, ../x/a.bmp and a bare a.bmp.
#   relative-path-test.sh VIEWER WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/viewer-session.sh"
setup_viewer "$1" "$2"

mkdir -p "$work/pics/sub" "$work/x"
"$here/write-bmp.sh" "$work/pics/sub/a.bmp" 40 30
"$here/write-bmp.sh" "$work/pics/sub/b.bmp" 50 20
"$here/write-bmp.sh" "$work/x/a.bmp" 41 31
"$here/write-bmp.sh" "$work/x/b.bmp" 51 21

# Starts the viewer in folder $1 on picture $2, expects the sizes $3 then $4.
step_through() {
  start_viewer "$1" "$2"
  wait_title "$window" "^TavoTavo \[a\.bmp\($3\)\]" >/dev/null
  press space
  wait_title "$window" "^TavoTavo \[b\.bmp\($4\)\]" >/dev/null
  [ -z "$(error_boxes)" ] || fail "$2 from $1: an error box is open"
  quit_viewer
  echo "$2 from $1: opened, SPACE went on to b.bmp"
}

step_through "$work/pics" sub/a.bmp '40 × 30' '50 × 20'
step_through "$work/pics" ./sub/a.bmp '40 × 30' '50 × 20'
step_through "$work/pics" ../x/a.bmp '41 × 31' '51 × 21'
step_through "$work/pics/sub" a.bmp '40 × 30' '50 × 20'
echo "PASS"
