#!/bin/sh
# Builds the Windows plug-in and runs its test suite under Wine: first the
# 32-bit DLL, zrkdnssd.dll, the one the host loads, then a 64-bit build of
# the same sources under 64-bit Wine, the second target.  Installs what is
# missing first (as root, Debian 12).  Exits non-zero when either suite
# fails or the 32-bit one could not run.
#
# wine32 runs 32-bit Windows programs only where the kernel runs 32-bit
# code.  Where it does not, the 32-bit suite runs under wine32 inside a
# small emulated virtual machine (win32-vm.sh) instead.  ZRK_WIN32=vm takes
# the VM on any machine, ZRK_WIN32=native never takes it.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

case ${ZRK_WIN32:-} in
  '' | native | vm) ;;
  *) echo "test-windows: ZRK_WIN32 is native, vm or unset, not '$ZRK_WIN32'" >&2; exit 2 ;;
esac

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

# configure_and_build DIR TOOLCHAIN TEST_TIMEOUT
configure_and_build() {
  cmake -S "$top" -B "$top/$1" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$2" -DZRK_TEST_TIMEOUT="$3" >/dev/null
  cmake --build "$top/$1" -j "$jobs"
}
# value KEY FILE: a "key=value" line's value, or "?".
value() {
  v=$(sed -n "s/^$1=//p" "$2" 2>/dev/null | tail -n 1)
  echo "${v:-?}"
}
verdict() {
  if [ "$1" -eq 0 ]; then echo passed; else echo "FAILED ($1)"; fi
}

# Each suite runs in the background, so that a signal ending this script
# reaches it (by its PID) and it stops its own Wine server or VM.
child=
stop_child() {
  [ -n "$child" ] || return 0
  kill -TERM "$child" 2>/dev/null || true
  wait "$child" 2>/dev/null || true
  child=
}
trap stop_child EXIT
trap 'exit 130' INT TERM
# suite CMD...: runs CMD, leaves its exit status in $ran.
suite() {
  ran=0
  "$@" &
  child=$!
  wait "$child" || ran=$?
  child=
}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  native32=yes
else
  native32=no
fi
case ${ZRK_WIN32:-}/$native32 in
  vm/* | /no) way=vm ;;
  native/no) way=none ;;
  *) way=native ;;
esac

status=0
tree32=$top/build-windows
case $way in
  native)
    echo "test-windows: 32-bit suite: wine32"
    configure_and_build build-windows mingw-w64-i686.cmake 60
    suite sh "$top/scripts/wine-suite.sh" "$tree32" win32 "$tree32"
    s32=$ran
    note32="wine32: $(verdict "$s32"): wineboot $(value wineboot "$tree32/times") s, tests $(value ctest "$tree32/times") s"
    ;;
  vm)
    if [ "$native32" = yes ]; then
      echo "test-windows: 32-bit suite: wine32 in a VM (ZRK_WIN32=vm)"
    else
      echo "test-windows: 32-bit suite: wine32 in a VM (this kernel runs no 32-bit code)"
    fi
    # Emulated, the slowest test takes about twenty times as long.
    configure_and_build build-windows mingw-w64-i686.cmake 300
    suite sh "$top/scripts/win32-vm.sh" "$tree32"
    s32=$ran
    t=$tree32/vm/times
    note32="wine32 in a VM: $(verdict "$s32"): VM boot $(value boot "$t") s, wineboot $(value wineboot "$t") s,"
    note32="$note32 tests $(value ctest "$t") s, VM in all $(value vm "$t") s"
    ;;
  none)
    echo "test-windows: 32-bit suite: not run: this kernel runs no 32-bit code and ZRK_WIN32=native forbids the VM"
    s32=1
    note32="not run (ZRK_WIN32=native on a kernel without 32-bit code)"
    ;;
esac
[ "$s32" -eq 0 ] || status=$s32

echo "test-windows: 64-bit suite: wine64"
configure_and_build build-windows64 mingw-w64-x86_64.cmake 60
tree64=$top/build-windows64
suite sh "$top/scripts/wine-suite.sh" "$tree64" win64 "$tree64"
s64=$ran
[ "$s64" -eq 0 ] || status=$s64

echo "test-windows: 32-bit suite: $note32"
echo "test-windows: 64-bit suite: wine64: $(verdict "$s64"): wineboot $(value wineboot "$tree64/times") s, tests $(value ctest "$tree64/times") s"
exit "$status"
