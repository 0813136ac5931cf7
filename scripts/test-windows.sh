#!/bin/sh
# Builds the 32-bit Windows plug-in, zrkdnssd.dll, with mingw-w64 and runs
# the test suite under Wine, in a private Wine prefix inside the build folder
# with one Wine server for the whole run.  Installs what is missing first
# (as root, Debian 12).  Exits with ctest's status.
#
# Wine runs 32-bit Windows programs only where the kernel runs 32-bit code.
# Where it does not (a kernel without IA-32 emulation), the 32-bit DLL is
# still built and its export and import tables checked, and the suite runs
# on a 64-bit build of the same sources under 64-bit Wine.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

packages="cmake ninja-build googletest wine wine32:i386 wine64
g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix"
missing=
for p in $packages; do
  installed "$p" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi

# No window system, no Wine debug output, and no Mono or Gecko installer
# (each would try to download): the tests need none of them.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

configure_and_build() {
  cmake -S "$top" -B "$top/$1" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$2" >/dev/null
  cmake --build "$top/$1" -j "$jobs"
}

configure_and_build build-windows mingw-w64-i686.cmake

status=0
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  tree=$top/build-windows
  wine=wine
else
  echo "test-windows: this kernel runs no 32-bit code, so Wine cannot start 32-bit programs;"
  echo "test-windows: checking the 32-bit DLL's tables, then running the suite on a 64-bit build."
  # Directly, not through ctest: listing the other tests would need Wine.
  sh "$top/tests/check_pe_exports.sh" i686-w64-mingw32-objdump \
    "$top/build-windows/bin/zrkdnssd.dll" pei-i386 || status=$?
  configure_and_build build-windows64 mingw-w64-x86_64.cmake
  tree=$top/build-windows64
  wine=/usr/lib/wine/wine64
fi

# One persistent server for every test process; stopped by its own PID.
# SIGINT makes it end the processes it serves (Wine's services) and exit.
export WINEPREFIX="$tree/wineprefix"
mkdir -p "$WINEPREFIX"
wineserver -f -p >"$tree/wineserver.log" 2>&1 &
server=$!
echo "$server" >"$tree/wineserver.pid"
stop_server() {
  kill -INT "$server" 2>/dev/null || return 0
  tries=0
  while kill -0 "$server" 2>/dev/null && [ "$tries" -lt 40 ]; do
    sleep 0.25
    tries=$((tries + 1))
  done
  kill -KILL "$server" 2>/dev/null || true
  rm -f "$tree/wineserver.pid"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

# Make the prefix once, before any test: a fresh one has no dnssd.dll.
timeout 300 "$wine" wineboot -i >"$tree/wineboot.log" 2>&1

ctest_status=0
(cd "$tree" && ctest -j "$jobs" --output-on-failure --timeout 120) || ctest_status=$?
[ "$ctest_status" -eq 0 ] || status=$ctest_status
exit "$status"
