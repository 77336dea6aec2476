#!/usr/bin/env bash
# File names holding "[*]", which the toolkit reads as a placeholder of its
# own, reach the window system's title exactly as the title line writes them,
# at start and after SPACE.
#   title-placeholder-test.sh VIEWER WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/viewer-session.sh"
setup_viewer "$1" "$2"
mkdir -p "$work/pics"
"$here/write-bmp.sh" "$work/pics/a[*]x.bmp" 40 30
"$here/write-bmp.sh" "$work/pics/b[*][*]y.bmp" 50 20

exact_title() {
  local expected=$1 name=""
  for _ in $(seq 1 300); do
    name=$(title_of "$window")
    [ "$name" = "$expected" ] && { echo "title: $name"; return 0; }
    sleep 0.05
  done
  fail "title '$name', expected '$expected'"
}

start_viewer "$work/pics" 'a[*]x.bmp'
wait_title "$window" '^TavoTavo \[a' >/dev/null
# Original size, so that the ratio is known: 100%.
press F4
exact_title 'TavoTavo [a[*]x.bmp(40 × 30)] - 拡大率 100%'
press space
exact_title 'TavoTavo [b[*][*]y.bmp(50 × 20)] - 拡大率 100%'
quit_viewer
echo "PASS"
