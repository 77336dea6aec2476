#!/usr/bin/env bash
# A plug-in that misbehaves, in the viewer as a user runs it, seen from outside
# through the X server:
#   hostile-plugin-test.sh VIEWER PLUGIN OTHER_PLUGIN WORKDIR program|susie error|shown
# PLUGIN takes *.hst files; OTHER_PLUGIN is a well-behaved one for *.ppm. Both
# go into the program's folder or into the Susie folder. A second copy hands
# x.hst over, a third hands good.ppm over while the first may still hang.
# "error": at least one error box comes and is dismissed; "shown": x.hst is
# shown and no box comes. Either way both hand-overs are answered, the viewer
# lives on and shows good.ppm in the end.
set -euo pipefail
viewer_build=$1 plugin=$2 other=$3 work=$4 placement=$5 expect=$6
here=$(cd "$(dirname "$0")" && pwd)
for tool in xdotool xprop openbox; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
unset QT_QPA_PLATFORM TAVO_SPI_HOST

rm -rf "$work"
mkdir -p "$work/bin" "$work/susie" "$work/pictures" "$work/config/Susie"
bin=$(dirname "$viewer_build")
cp "$viewer_build" "$bin/tavotavo-viewer" "$bin/tavotavo-spi-host" "$work/bin/"
viewer="$work/bin/tavotavo"
target="$work/bin"
[ "$placement" = susie ] && target="$work/susie"
cp "$plugin" "$target/hostile.spi"
cp "$other" "$target/other.spi"
echo "Path=$work/susie" >"$work/config/Susie/Plug-in"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" TAVO_SPI_HOST_TIMEOUT_MS=3000
mkdir -m 0700 "$XDG_RUNTIME_DIR"
printf 'HOST%060d' 0 >"$work/pictures/x.hst"
printf 'P6\n2 1\n255\n\377\0\0\0\0\377' >"$work/pictures/good.ppm"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
title_of() {
  xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}
# Error boxes are dialogs; the main window is not.
is_box() {
  xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG
}

openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done

(cd "$work" && exec "$viewer") &
viewer_pid=$!
pids+=($viewer_pid)
window=""
for _ in $(seq 1 400); do
  for id in $(xdotool search --onlyvisible --pid "$viewer_pid" --name '^TavoTavo' 2>/dev/null || true); do
    is_box "$id" || window=$id
  done
  [ -n "$window" ] && [ -S "$XDG_RUNTIME_DIR/TfrmTavo2MainForm" ] && break
  kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer ended early"
  sleep 0.05
done
[ -n "$window" ] || fail "no viewer window appeared"

# Error boxes: the viewer's other windows titled TavoTavo. Each is dismissed.
boxes=0
dismiss_boxes() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$viewer_pid" --name '^TavoTavo$' 2>/dev/null || true); do
    [ "$id" != "$window" ] && is_box "$id" || continue
    timeout 5 xdotool windowactivate --sync "$id" 2>/dev/null || true
    xdotool key --window "$id" Return 2>/dev/null || true
    boxes=$((boxes + 1))
    sleep 0.2
  done
}

(exec timeout 20 "$viewer" "$work/pictures/x.hst") &
first=$!
if [ "$expect" = shown ]; then
  wait "$first" || fail "the hand-over of x.hst ended with $?"
  for _ in $(seq 1 100); do
    case "$(title_of "$window")" in *"x.hst(2 × 2)"*) break ;; esac
    sleep 0.05
  done
  case "$(title_of "$window")" in *"x.hst(2 × 2)"*) ;; *) fail "x.hst is not shown: '$(title_of "$window")'" ;; esac
fi
sleep 0.5
(exec timeout 20 "$viewer" "$work/pictures/good.ppm") &
second=$!
# Until both hand-overs are answered (a hang ends after 3 seconds), boxes are dismissed.
for _ in $(seq 1 300); do
  dismiss_boxes
  kill -0 "$first" 2>/dev/null || kill -0 "$second" 2>/dev/null || break
  sleep 0.1
done
wait "$first" 2>/dev/null || [ "$expect" = shown ] || fail "the hand-over of x.hst was not answered"
wait "$second" || fail "the hand-over of good.ppm was not answered"
for _ in $(seq 1 20); do dismiss_boxes; sleep 0.1; done
kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer ended"
case "$expect" in
error) [ "$boxes" -ge 1 ] || fail "no error box came" ;;
shown) [ "$boxes" -eq 0 ] || fail "$boxes error boxes came" ;;
esac
for _ in $(seq 1 100); do
  case "$(title_of "$window")" in *"good.ppm(2 × 1)"*) echo "good.ppm shown after $boxes error boxes"; exit 0 ;; esac
  sleep 0.05
done
fail "good.ppm is not shown: '$(title_of "$window")'"
