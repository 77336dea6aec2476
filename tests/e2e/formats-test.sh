#!/usr/bin/env bash
# Opens a GIF, a WebP and a TIFF picture in the real viewer through the
# shipped plug-ins: each opens with the exact title line, and SPACE and
# BACKSPACE step to the other picture of its format in the folder and back.
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
cp "$bin/tavotavo-viewer" "$bin/tavotavo-spi-host" "$bin"/ifgif.spi "$bin"/ifwebp.spi "$bin"/iftiff.spi "$work/bin/"
# In each format a 315 x 200 picture, which fills the width of the default
# work area at 200%, and a 630 x 100 one, at 100%. The folder list shows the
# files of the current picture's extension.
convert -size 315x200 gradient:red-blue "$work/pictures/a.gif"
convert -size 630x100 gradient:white-black -colors 64 "$work/pictures/b.gif"
convert -size 315x200 gradient:green-white "$work/a.png"
convert -size 630x100 plasma:fractal "$work/b.png"
cwebp -quiet -q 80 "$work/a.png" -o "$work/pictures/a.webp"
cwebp -quiet -lossless "$work/b.png" -o "$work/pictures/b.webp"
convert -size 200x315 gradient:yellow-black -rotate 90 -compress lzw "$work/pictures/a.tif"
convert "$work/b.png" -compress zip "$work/pictures/b.tif"

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
press() {
  xdotool windowfocus --sync "$window"
  xdotool key "$@"
}

pid=""
trap '[ -z "$pid" ] || { kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; }' EXIT
for extension in gif webp tif; do
  "$work/bin/tavotavo" "$work/pictures/a.$extension" &
  pid=$!
  window=""
  for _ in $(seq 1 300); do
    window=$(xdotool search --name "^TavoTavo \\[a\\.$extension" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 $pid 2>/dev/null || { echo "the viewer ended early" >&2; exit 1; }
    sleep 0.1
  done
  [ -n "$window" ] || { echo "no viewer window for a.$extension" >&2; exit 1; }
  wait_title "TavoTavo [a.$extension(315 × 200)] - 拡大率 200%"
  press space
  wait_title "TavoTavo [b.$extension(630 × 100)] - 拡大率 100%"
  press BackSpace
  wait_title "TavoTavo [a.$extension(315 × 200)] - 拡大率 200%"
  kill $pid
  wait $pid 2>/dev/null || true
  pid=""
done
