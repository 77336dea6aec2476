#!/usr/bin/env bash
# Opens a HEIC, AVIF or JPEG XL picture in the real viewer, made here by the
# format's own encoder, and checks the title line; SPACE and BACKSPACE then
# step to the folder's other picture of that format and back.
#   modern-formats-test.sh VIEWER WORKDIR FORMAT   (heic, avif or jxl; inside xvfb-session.sh)
set -euo pipefail
viewer=$1 work=$2 format=$3
case $format in
heic) encoder=heif-enc plugin=ifheif.spi ;;
avif) encoder=avifenc plugin=ifavif.spi ;;
jxl) encoder=cjxl plugin=ifjxl.spi ;;
*) echo "unknown format $format" >&2; exit 2 ;;
esac
for tool in xdotool xprop convert $encoder; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
unset QT_QPA_PLATFORM
rm -rf "$work"
mkdir -p "$work/bin" "$work/pictures"
# A copy of the programs and the plug-in: the settings file lives beside them.
bin=$(dirname "$viewer")
cp "$viewer" "$bin/tavotavo-viewer" "$bin/tavotavo-spi-host" "$bin/$plugin" "$work/bin/"

encode() { # encode WIDTH HEIGHT NAME
  convert -size "$1x$2" gradient:'#ff2000-#0030ff' -fill white -draw 'circle 40,40 60,60' PNG24:"$work/source.png"
  case $format in
  heic) heif-enc -q 60 -o "$work/pictures/$3" "$work/source.png" ;;
  avif) avifenc -s 10 "$work/source.png" "$work/pictures/$3" ;;
  jxl) cjxl -d 1 "$work/source.png" "$work/pictures/$3" ;;
  esac >/dev/null 2>&1
}
encode 316 200 "a.$format"
encode 632 100 "b.$format"

"$work/bin/tavotavo" "$work/pictures/a.$format" &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT

window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --name '^TavoTavo ' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 $pid 2>/dev/null || { echo "the viewer ended early" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no viewer window" >&2; exit 1; }

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
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
press() {
  xdotool windowfocus --sync "$window"
  xdotool key "$@"
}

wait_title "^TavoTavo \\[a\\.$format\\(316 × 200\\)\\] - 拡大率 [0-9]+%\$"
press space
wait_title "^TavoTavo \\[b\\.$format\\(632 × 100\\)\\] - 拡大率 [0-9]+%\$"
press BackSpace
wait_title "^TavoTavo \\[a\\.$format\\(316 × 200\\)\\]"
press Escape
for _ in $(seq 1 300); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.05
done
wait $pid || { echo "the viewer did not end normally" >&2; exit 1; }
trap - EXIT
