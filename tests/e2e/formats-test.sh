#!/usr/bin/env bash
# Opens a GIF, a WebP and a TIFF picture in the real viewer through the
# shipped plug-ins: the first opens with the exact title line, SPACE and
# BACKSPACE step through the folder of the three.
#   formats-test.sh VIEWER WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
viewer=$1 work=$2
for tool in xdotool xprop convert cwebp; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
unset QT_QPA_PLATFORM
rm -rf "$work"
mkdir -p "$work/bin" "$work/pictures"
# The program with the plug-ins beside it, in a folder of its own, so that
# its settings file stays there.
bin=$(dirname "$viewer")
cp "$viewer" "$work/bin/tavotavo"
cp "$bin/tavotavo-viewer" "$bin"/ifgif.spi "$bin"/ifwebp.spi "$bin"/iftiff.spi "$work/bin/"
# 315 x 200 pictures fill the width of the default work area at 200%.
convert -size 315x200 gradient:red-blue "$work/pictures/a.gif"
convert -size 315x200 gradient:green-white "$work/picture.png"
cwebp -quiet -q 80 "$work/picture.png" -o "$work/pictures/b.webp"
convert -size 200x315 gradient:yellow-black -rotate 90 -compress lzw "$work/pictures/c.tif"

"$work/bin/tavotavo" "$work/pictures/a.gif" &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
wait_title() {
  local expected=$1 name=""
  for _ in $(seq 1 300); do
    name=$(title_of "$window")
    if [ "$name" = "$expected" ]; then
      echo "$name"
      return 0
    fi
    sleep 0.05
  done
  echo "title '$name' is not '$expected'" >&2
  return 1
}

window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --name '^TavoTavo \[a\.gif' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 $pid 2>/dev/null || { echo "the viewer ended early" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no viewer window for the GIF picture" >&2; exit 1; }
press() {
  xdotool windowfocus --sync "$window"
  xdotool key "$@"
}
wait_title 'TavoTavo [a.gif(315 × 200)] - 拡大率 200%'
press space
wait_title 'TavoTavo [b.webp(315 × 200)] - 拡大率 200%'
press space
wait_title 'TavoTavo [c.tif(315 × 200)] - 拡大率 200%'
press BackSpace
wait_title 'TavoTavo [b.webp(315 × 200)] - 拡大率 200%'
press BackSpace
wait_title 'TavoTavo [a.gif(315 × 200)] - 拡大率 200%'
