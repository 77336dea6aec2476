#!/usr/bin/env bash
# Installs what is missing, builds and runs every test; non-zero on any failure.
# Two configurations: the normal one (every test), and one with AddressSanitizer
# and UndefinedBehaviorSanitizer for the toolkit-free libraries and decoders.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$top/tools/install-packages.sh"

cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_WERROR=ON >/dev/null
cmake --build "$top/build" -j "$jobs"
ctest --test-dir "$top/build" --output-on-failure -j "$jobs" --timeout 600

cmake -S "$top" -B "$top/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVO_WERROR=ON \
  -DTAVO_SANITIZE=ON -DTAVO_BENCH=OFF >/dev/null
# The toolkit-free test programs, with the plug-ins they load.
sanitized=$(cd "$top/build-sanitize" && ninja -t targets all | cut -d: -f1 \
  | grep -E '^(platform|imaging|plugins|spi|app)_tests$|_replay$|\.spi$' | tr '\n' ' ' || true)
cmake --build "$top/build-sanitize" -j "$jobs" --target $sanitized
ctest --test-dir "$top/build-sanitize" --output-on-failure -j "$jobs" --timeout 900 \
  -L '^(platform|imaging|plugins|spi|app)_tests$|^fuzz_replay$'

