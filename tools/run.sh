#!/usr/bin/env bash
# Installs what is missing, builds (Release with debug info) and starts the viewer.
# With no argument it opens a bundled sample picture.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-packages.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build"
if [ $# -eq 0 ]; then
  set -- "$top/samples/photo-baseline.jpg"
fi
exec "$top/build/bin/tavotavo" "$@"
