#!/bin/sh
# The main job: install what is missing, build, and show the plug-in at work
# against a private DNS-SD daemon.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRK_TESTS=OFF >/dev/null
cmake --build "$top/build-release" -j "$(nproc)"
sh "$top/scripts/demo.sh" "$top/build-release/bin/zrk-dnssd"
