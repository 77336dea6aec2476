#!/usr/bin/env bash
# The installed program: install-test.sh BUILD_DIR WORKDIR   (inside xvfb-session.sh)
# Installs the build into a staging folder (DESTDIR), checks the layout, the
# desktop entry and the metainfo, and runs the installed decoder and viewer
# from there: the shipped plug-ins must be found in the program's folder.
set -euo pipefail
build=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/viewer-windows.sh"
need_tools xdotool xprop python3 desktop-file-validate appstreamcli

rm -rf "$work"
mkdir -p "$work/pictures"
export XDG_CONFIG_HOME="$work/config"
DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log"
usr="$work/root/usr"

# The layout: the command links into the program folder, which holds the
# programs and the plug-ins together.
[ "$(readlink "$usr/bin/tavotavo")" = ../lib/tavotavo/tavotavo ] || fail "bin/tavotavo is $(readlink "$usr/bin/tavotavo")"
for file in lib/tavotavo/tavotavo lib/tavotavo/tavotavo-viewer lib/tavotavo/tavotavo-decode \
            lib/tavotavo/ifpng.spi lib/tavotavo/ifjpeg.spi share/man/man1/tavotavo.1 \
            share/icons/hicolor/scalable/apps/tavotavo.svg share/icons/hicolor/48x48/apps/tavotavo.png \
            share/icons/hicolor/256x256/apps/tavotavo.png; do
  [ -f "$usr/$file" ] || fail "$file is not installed"
done

entry="$usr/share/applications/tavotavo.desktop"
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
grep -qx 'Exec=tavotavo %f' "$entry" || fail "Exec is not 'tavotavo %f'"
grep -q '^Name\[ja\]=' "$entry" && grep -q '^Comment\[ja\]=' "$entry" || fail "no Japanese name or comment"
for type in image/jpeg image/bmp image/png image/gif image/webp image/tiff image/heif image/heic image/avif image/jxl; do
  grep -q "^MimeType=.*$type;" "$entry" || fail "MimeType lacks $type"
done
metainfo=$(ls "$usr"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log" >&2; fail "the metainfo does not validate"; }
grep -q '<launchable type="desktop-id">tavotavo.desktop</launchable>' "$metainfo" || fail "the metainfo names no launchable"

version=$("$usr/bin/tavotavo" --version)
[ "$version" = "TavoTavo $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ] || fail "--version says '$version'"
"$usr/bin/tavotavo" --help | grep -q '^Usage: tavotavo' || fail "--help prints no usage"

# PNG is decoded by the shipped plug-in, found beside the installed decoder.
python3 "$here/write-png.py" "$work/pictures/first.png" 7 5
"$usr/lib/tavotavo/tavotavo-decode" "$work/pictures/first.png" "$work/first.bmp" || fail "the installed decoder failed"
size=$(od -An -tu4 -j18 -N8 "$work/first.bmp" | tr -s ' ')
[ "$size" = " 7 5" ] || fail "the decoded picture is$size"

pid=""
trap '[ -z "$pid" ] || { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; } || true' EXIT
(cd "$work/pictures" && exec "$usr/bin/tavotavo" first.png) &
pid=$!
window=$(window_of "$pid")
wait_title "$window" "first.png(7 × 5)"
# The window carries the program's icon, small and large (the X platform
# sends sizes up to 128 pixels).
icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ' || true)
case "$icons" in *"Icon (16 x 16)"*"Icon (128 x 128)"*) ;; *) fail "the window's icons are: $icons" ;; esac

# A picture named like an option is still reachable through its folder, here
# handed over by a second start to the viewer that runs.
python3 "$here/write-png.py" "$work/pictures/--help" 9 4
(cd "$work/pictures" && exec timeout 10 "$usr/bin/tavotavo" ./--help) || fail "the second start ended with $?"
wait_title "$window" "--help(9 × 4)"
echo "PASS"
