#!/usr/bin/env bash
# A command-line picture that cannot be shown, checked from outside through the
# X server: the load's error is reported at start in a message box, and once
# it is answered the window is there all the same, its caption "TavoTavo", its
# work area empty (the start-up picture is gone).
#   startup-error-test.sh VIEWER WORKDIR CASE     (run inside xvfb-session.sh)
# CASE: broken (a .jpg the decoder refuses) or missing (no such file).
set -euo pipefail
viewer=$1 work=$2 case=$3
for tool in xdotool xprop import; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
unset QT_QPA_PLATFORM
rm -rf "$work"
mkdir -p "$work"
picture="$work/$case picture.jpg"
[ "$case" = broken ] && printf '\377\330 not a JPEG stream' >"$picture"

"$viewer" "$picture" &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT

# The box comes first: the load runs as the window is being shown, and the
# window appears once the box is answered. The box is titled "TavoTavo" too;
# it is the one transient for another window.
visible() { xdotool search --onlyvisible --name '^TavoTavo$' 2>/dev/null || true; }
box=""
for _ in $(seq 1 300); do
  for id in $(visible); do
    owner=$(xprop -id "$id" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/.*window id # \(0x[0-9a-fA-F]*\).*/\1/p')
    [ -n "$owner" ] && box=$id
  done
  [ -n "$box" ] && break
  kill -0 $pid 2>/dev/null || { echo "the viewer ended early" >&2; exit 1; }
  sleep 0.1
done
[ -n "$box" ] || { echo "no error box at start" >&2; exit 1; }
echo "error box $box"

xdotool windowfocus --sync "$box"
xdotool key Return
main=""
for _ in $(seq 1 300); do
  shown=$(visible)
  main=$(grep -vx "$box" <<<"$shown" | head -n 1 || true)
  if ! grep -qx "$box" <<<"$shown" && [ -n "$main" ]; then break; fi
  sleep 0.1
done
grep -qx "$box" <<<"$(visible)" && { echo "the error box did not close" >&2; exit 1; }
[ -n "$main" ] || { echo "the window did not appear after the box" >&2; exit 1; }
kill -0 $pid 2>/dev/null || { echo "the viewer ended with the box" >&2; exit 1; }
name=$(xprop -id "$main" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
[ "$name" = TavoTavo ] || { echo "caption '$name', expected TavoTavo" >&2; exit 1; }

# The work area's middle shows the same colour as its lower right corner,
# where no picture ever was: nothing is drawn in it.
eval "$(xdotool getwindowgeometry --shell "$main")"
pixel() { import -window root -crop "1x1+$1+$2" txt:- | sed -n '2s/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p'; }
middle=$(pixel $((X + WIDTH / 2)) $((Y + HEIGHT / 2)))
corner=$(pixel $((X + WIDTH - 20)) $((Y + HEIGHT - 20)))
[ -n "$middle" ] && [ "$middle" = "$corner" ] ||
  { echo "the work area is not empty: middle $middle, corner $corner" >&2; exit 1; }
echo "ok: $case file reported, window kept with an empty work area"
