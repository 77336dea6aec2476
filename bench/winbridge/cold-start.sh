#!/usr/bin/env bash
# The first load of a run that needs a Windows plug-in: the prefix is there,
# the bridge is not started. Once with Wine's server stopped (the first
# Windows program since it last ended) and once with it running; the same
# load with the native build of the plug-in beside them. tavotavo-decode
# --time (the load alone), medians.
#   cold-start.sh BUILD_DIR [ROUNDS]
set -euo pipefail
build=$(cd "$1" && pwd) rounds=${2:-7}
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || { echo "wine64 is not installed" >&2; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/windows/Susie" "$work/native/Susie" "$work/spi-windows" "$work/spi-native"
cp "$build/tests/winplugins/ttr64.sph" "$work/spi-windows/"
cp "$build/tests/winplugins/ttr.spi" "$work/spi-native/"
echo "Path=$work/spi-windows" > "$work/windows/Susie/Plug-in"
echo "Path=$work/spi-native" > "$work/native/Susie/Plug-in"
python3 - "$work/six.ttr" <<'PY'
import struct, sys
w, h = 3000, 2000
row = bytes(range(256)) * (w * 3 // 256 + 2)
open(sys.argv[1], 'wb').write(b'TTR1' + struct.pack('<IiiHH', 4, w, h, 24, 0) + b''.join(row[y % 256:y % 256 + w * 3] for y in range(h)))
PY
prefix=${XDG_CACHE_HOME:-$HOME/.cache}/tavotavo/wine
decode() { XDG_CONFIG_HOME="$work/$1" "$build/bin/tavotavo-decode" "$work/six.ttr" "$work/out.bmp" --time; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
decode windows >/dev/null # makes the prefix and fills the cache
cold=() warm=() native=()
for _ in $(seq 1 "$rounds"); do
  WINEPREFIX="$prefix" "$server" -k 2>/dev/null || true
  sleep 1
  cold+=("$(decode windows)")
  # Wine's server stays a few seconds after its last program: still running.
  warm+=("$(decode windows)")
  native+=("$(decode native)")
done
WINEPREFIX="$prefix" "$server" -k 2>/dev/null || true
echo "first load of a run, 6-megapixel picture, $rounds rounds, medians (ms):"
echo "  Windows plug-in, Wine's server stopped:  $(printf '%s\n' "${cold[@]}" | median)"
echo "  Windows plug-in, Wine's server running:  $(printf '%s\n' "${warm[@]}" | median)"
echo "  native build through the native host:    $(printf '%s\n' "${native[@]}" | median)"
