#!/usr/bin/env bash
# The viewer with Windows plug-ins under Wine, driven from outside: 64-bit
# ones in the program folder, a 32-bit one (when Wine's 32-bit part is there)
# in the Susie folder. The title line names each picture, SPACE and BACKSPACE
# step across them, and a plug-in fault ends in the error box while the
# viewer stays alive and goes on with the next picture.
#   winspi-test.sh VIEWER PLUGINDIR WORKDIR      (run inside xvfb-session.sh)
set -euo pipefail
viewer=$1 plugins=$2 work=$3
for tool in xdotool xprop python3; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
bin=$(dirname "$viewer")
[ -f "$bin/tavotavo-spi-bridge64.exe" ] && [ -f "$plugins/ttr64.sph" ] \
  || { echo "the Windows parts are not built" >&2; exit 77; }
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || { echo "wine64 is not installed" >&2; exit 77; }
unset QT_QPA_PLATFORM
# A folder of this run's own: Wine's server of an earlier run may still be
# writing into its prefix for a moment after that run.
mkdir -p "$work"
work=$(mktemp -d "$work/run-XXXXXX")
# The prefix's Wine server and services end with the test, then its folder goes.
end_wine() {
  for server in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32; do
    if [ -x "$server" ]; then
      WINEPREFIX="$work/cache/tavotavo/wine" "$server" -k 2>/dev/null || true
      WINEPREFIX="$work/cache/tavotavo/wine" "$server" -w 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}
trap end_wine EXIT
mkdir -p "$work/bin" "$work/pictures" "$work/susie" "$work/config/Susie" "$work/cache" "$work/home"
for program in tavotavo tavotavo-viewer tavotavo-spi-host tavotavo-spi-bridge32.exe tavotavo-spi-bridge64.exe; do
  [ -f "$bin/$program" ] && cp "$bin/$program" "$work/bin/"
done
cp "$plugins/ttr64.sph" "$plugins/wpairs64.sph" "$work/bin/"
susie_plugin=""
if [ -f "$plugins/wpairs32.spi" ] && [ -x /usr/lib/wine/wine ]; then
  cp "$plugins/wpairs32.spi" "$work/susie/"
  susie_plugin=wpairs32.spi
fi
echo "Path=$work/susie" > "$work/config/Susie/Plug-in"
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" HOME="$work/home"

# TTR pictures: a and b 24-bit, c makes the plug-in fault, e.max for the Susie folder's plug-in.
python3 - "$work/pictures" <<'PY'
import struct, sys
def ttr(path, w, h, flags=0):
    rows = b''.join(bytes((x * 7 + y) % 256 for x in range(w * 3)) for y in range(h))
    open(path, 'wb').write(b'TTR1' + struct.pack('<IiiHH', flags, w, h, 24, 0) + rows)
folder = sys.argv[1]
ttr(folder + '/a.ttr', 315, 200)
ttr(folder + '/b.ttr', 630, 100, 0x01)
ttr(folder + '/c.ttr', 20, 20, 0x10)
ttr(folder + '/e.max', 315, 100)
PY

"$work/bin/tavotavo" "$work/pictures/a.ttr" &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; end_wine' EXIT

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
# Waits (up to limit seconds) until the window's title matches the pattern.
wait_title() {
  local pattern=$1 deadline=$((SECONDS + ${2:-30})) name=""
  while [ $SECONDS -lt $deadline ]; do
    name=$(title_of "$window")
    if [[ $name =~ $pattern ]]; then
      echo "title: $name"
      return 0
    fi
    kill -0 $pid 2>/dev/null || { echo "the viewer ended" >&2; return 1; }
    sleep 0.05
  done
  echo "title '$name' never matched '$pattern'" >&2
  return 1
}
# A window that is not mapped yet refuses the focus: asked again until it takes it.
focus() {
  for _ in $(seq 1 100); do
    xdotool windowfocus --sync "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "window $1 never took the focus" >&2
  return 1
}
press() {
  focus "$window"
  xdotool key "$@"
}

# The window comes at once; the picture once the first start has made the
# Wine prefix, which takes a while.
window=""
deadline=$((SECONDS + 60))
while [ $SECONDS -lt $deadline ]; do
  # Only the viewer's shown main window: the toolkit keeps hidden windows of that name too.
  window=$(xdotool search --onlyvisible --pid $pid --name '^TavoTavo' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 $pid 2>/dev/null || { echo "the viewer ended early" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no viewer window" >&2; exit 1; }
wait_title '^TavoTavo \[a\.ttr\(315 × 200\)\] - 拡大率 200%$' 240
press space
wait_title '^TavoTavo \[b\.ttr\(630 × 100\)\] - 拡大率 100%$'

# c.ttr makes the plug-in fault: the error box names the plug-in and the fault.
press space
box=""
for _ in $(seq 1 1200); do
  for id in $(xdotool search --onlyvisible --name '^TavoTavo$' 2>/dev/null || true); do
    [ "$id" != "$window" ] && box=$id
  done
  [ -n "$box" ] && break
  kill -0 $pid 2>/dev/null || { echo "the viewer ended at the fault" >&2; exit 1; }
  sleep 0.05
done
[ -n "$box" ] || { echo "no error box for the fault" >&2; exit 1; }
echo "error box $box is up"
focus "$box"
xdotool key Return
for _ in $(seq 1 200); do
  xdotool search --name '^TavoTavo$' 2>/dev/null | grep -qx "$box" || break
  sleep 0.05
done
kill -0 $pid 2>/dev/null || { echo "the viewer ended after the fault" >&2; exit 1; }

# The faulted library is not used again; the viewer goes on: b is read by
# the other plug-in, which claims other extensions but takes TTR data too.
press BackSpace
wait_title '^TavoTavo \[b\.ttr\(630 × 100\)\]'
if [ -n "$susie_plugin" ]; then
  # The 32-bit plug-in of the Susie folder reads .max (and now .ttr too).
  "$work/bin/tavotavo" "$work/pictures/e.max"
  wait_title '^TavoTavo \[e\.max\(315 × 100\)\] - 拡大率 200%$' 60
fi
[ -d "$work/cache/tavotavo/wine" ] || { echo "no private prefix" >&2; exit 1; }
[ ! -e "$work/home/.wine" ] || { echo "Wine used ~/.wine" >&2; exit 1; }
echo "the viewer read Windows plug-ins' pictures and outlived a fault"
