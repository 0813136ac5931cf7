#!/bin/sh
# Installs what is missing, then builds and runs every test: a plain build
# and one under AddressSanitizer + UndefinedBehaviorSanitizer (unit and
# end-to-end tests), then the Windows plug-in under Wine.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/install-deps.sh"
jobs=$(nproc)
run() {
  dir="$top/$1"; shift
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 120)
}
run build
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run build-sanitize -DZRK_SANITIZE=ON
sh "$top/scripts/fuzz.sh"
sh "$top/scripts/test-windows.sh"
