#!/usr/bin/env bash
# Refinement of long strips, seen on screen: with refinement on, a strip
# 400 × 33000 fitted to the window's width is refined (its black and white
# columns become greys) without an error box; a strip 30000 × 10, which no
# reduction fits (0 rows high), keeps its quick view, again without a box.
#   refine-strip-test.sh VIEWER WORKDIR   (inside xvfb-session.sh --screen 640x480x24)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/viewer-session.sh"
command -v import >/dev/null || { echo "import is not installed (package imagemagick)" >&2; exit 77; }
setup_viewer "$1" "$2"
trap 'stop_viewers; rm -rf "$work/pics"' EXIT
mkdir -p "$work/pics"
printf '[Mode]\nUseClear=1\n' >"$work/bin/TavoTavo.INI"

# 24-bit bitmaps of alternating black and white columns.
python3 - "$work/pics" <<'EOF'
import struct, sys
def stripes(path, width, height):
    row = bytes(255 if (x // 3) % 2 else 0 for x in range(3 * width))
    row += bytes(-len(row) % 4)
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", 54 + len(row) * height, 0, 0, 54))
        out.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(row) * height, 2835, 2835, 0, 0))
        out.write(row * height)
stripes(sys.argv[1] + "/strip-a.bmp", 400, 33000)
stripes(sys.argv[1] + "/strip-b.bmp", 30000, 10)
EOF

# Pixels of the window's middle 100 × 100 that are neither black nor white.
greys_in_middle() {
  local geometry width height
  geometry=$(xdotool getwindowgeometry --shell "$window")
  width=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
  height=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
  import -window "$window" -depth 8 -crop "100x100+$((width / 2 - 50))+$((height / 2 - 20))" +repage ppm:- \
    | python3 "$here/screen-pixels.py" greys
}

start_viewer "$work/pics" strip-a.bmp
wait_title "$window" '^TavoTavo \[strip-a\.bmp\(400 × 33000\)\]' >/dev/null
refined=""
for _ in $(seq 1 200); do
  [ -z "$(error_boxes)" ] || fail "an error box opened for strip-a.bmp"
  if [ "$(greys_in_middle)" -gt 5000 ]; then refined=yes; break; fi
  sleep 0.05
done
[ -n "$refined" ] || fail "strip-a.bmp was not refined: the middle of the window holds $(greys_in_middle) grey pixels"
echo "strip-a.bmp: refined, no error box"

press space
wait_title "$window" '^TavoTavo \[strip-b\.bmp\(30000 × 10\)\]' >/dev/null
# The idle moment comes right after the load; a box would open then.
sleep 1.5
[ -z "$(error_boxes)" ] || fail "an error box opened for strip-b.bmp"
wait_title "$window" '^TavoTavo \[strip-b\.bmp\(30000 × 10\)\]' >/dev/null
echo "strip-b.bmp: no reduction fits; the quick view stays, no error box"
quit_viewer
echo "PASS"
