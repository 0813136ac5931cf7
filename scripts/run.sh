#!/bin/sh
# The main job: install what is missing, build, and show what the plug-in
# gives a host program.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build-release" -j "$(nproc)"
"$top/build-release/bin/zrk-dnssd" classes
