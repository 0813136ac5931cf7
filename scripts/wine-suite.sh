#!/bin/sh
# Runs the test suite of a cross-built Windows tree under Wine, with one
# persistent Wine server for the whole run, stopped by its own PID.  The
# same steps on this machine and inside the VM of win32-vm.sh, so both run
# one suite the same way.
#
# usage: wine-suite.sh TREE ARCH RUNDIR
#   TREE    the build tree; ctest runs there
#   ARCH    win32 (a 32-bit build, in a 32-bit prefix) or win64
#   RUNDIR  gets a new Wine prefix, the server's PID file and log,
#           wineboot's log, and "times" (seconds in wineboot and in ctest)
# ZRK_WINEBOOT_TIMEOUT (default 300) bounds wineboot and ZRK_CTEST_TIMEOUT
# (default 120) any test without a time limit of its own, in seconds.
# Exits with ctest's status.
set -eu
tree=$1
rundir=$3
case $2 in
  win32) wine=wine ;;
  win64) wine=/usr/lib/wine/wine64 ;;
  *) echo "wine-suite: ARCH is win32 or win64, not '$2'" >&2; exit 2 ;;
esac
jobs=$(nproc)

# No window system, no Wine debug output, and no Mono or Gecko installer
# (each would try to download): the tests need none of them.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A 32-bit prefix for the 32-bit suite: the 64-bit one Wine would make
# instead doubles wineboot and slows every test, in the VM above all.  A new
# prefix each run, so that no run sees what an earlier one left (the tests
# rely on a prefix without dnssd.dll).
export WINEARCH="$2"
export WINEPREFIX="$rundir/wineprefix"
rm -rf "$WINEPREFIX" "$rundir/times"
mkdir -p "$WINEPREFIX"

# SIGINT makes the server end the processes it serves (Wine's services)
# and exit.
wineserver -f -p >"$rundir/wineserver.log" 2>&1 &
server=$!
echo "$server" >"$rundir/wineserver.pid"
stop_server() {
  kill -INT "$server" 2>/dev/null || return 0
  tries=0
  while kill -0 "$server" 2>/dev/null && [ "$tries" -lt 40 ]; do
    sleep 0.25
    tries=$((tries + 1))
  done
  kill -KILL "$server" 2>/dev/null || true
  rm -f "$rundir/wineserver.pid"
}
# wineboot and ctest run in the background so that a signal is acted on at
# once, not after them; each is stopped by its PID.
child=
stop() {
  if [ -n "$child" ]; then
    kill -TERM "$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
  fi
  stop_server
}
trap stop EXIT
trap 'exit 130' INT TERM
# step CMD...: runs CMD, leaves its exit status in $ran.
step() {
  ran=0
  "$@" &
  child=$!
  wait "$child" || ran=$?
  child=
}

# The prefix is made once, before any test: a fresh one has no dnssd.dll to
# hide, and the first process on a new server could hang after its test had
# passed.
start=$(date +%s)
step timeout "${ZRK_WINEBOOT_TIMEOUT:-300}" "$wine" wineboot -i >"$rundir/wineboot.log" 2>&1
if [ "$ran" -ne 0 ]; then
  echo "wine-suite: wineboot failed ($ran); its log:"
  tail -n 20 "$rundir/wineboot.log"
  exit "$ran"
fi
booted=$(date +%s)

cd "$tree"
step ctest -j "$jobs" --output-on-failure --timeout "${ZRK_CTEST_TIMEOUT:-120}"
printf 'wineboot=%s\nctest=%s\n' $((booted - start)) $(($(date +%s) - booted)) >"$rundir/times"
exit "$ran"
