#!/bin/sh
# Reply latency of the plug-in against a real avahi-daemon, measured beside
# its floor: a direct client of the same DNS-SD library that calls
# DNSServiceProcessResult as soon as its socket is readable.  Both clients run
# at the same time against the same private daemon, browsing the same type:
#
#   1. one new service: a publisher commits one service; the time from the
#      commit to each client's Add, repeated;
#   2. resolve of a live service: the time from the resolve call to the first
#      reply, in each client, repeated (the two take turns, never together);
#   3. a burst: BURST services committed at once; the time from the commit to
#      each client's Add of the last of them, and the same for their removal;
#      with the times each client's main thread slept during the burst and
#      its longest stretch of work between two waits (for the plug-in client:
#      the plug-in's longest tick), in wall and in CPU time;
#   4. idle wake-ups: voluntary context switches over IDLE seconds of a bare
#      GLib main loop, of the plug-in loaded with nothing open, of the plug-in
#      with one browse open, and of the direct client with one browse open.
#
# Times cross processes as CLOCK_REALTIME microseconds on this machine.  The
# daemon runs in a network namespace of its own (scripts/dnssd-netns.sh), so
# no multicast leaves it; the clients reach it through its private bus socket.
#
#   sh bench/avahi_latency.sh [--build DIR] [--trials N] [--resolves N]
#                             [--burst N] [--idle-seconds N] [--keep DIR]
#                             [--label TEXT]
#
# A run takes one to two minutes with the defaults.  Needs root and a build
# holding the plug-in and the three programs (targets zrkdnssd,
# dnssd_direct_client, bench_plugin_client, bench_avahi_publisher); DIR
# defaults to build-bench.  --idle-seconds 0 leaves out the idle part;
# --keep copies every program's output into DIR.  The report names the
# commit of the build's source tree, or TEXT where given (for a build of an
# exported tree).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
trials=10
resolves=20
burst=200
idle=30
keep=""
label=""

die() { echo "avahi_latency: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case $1 in
  --build) build=$2; shift 2 ;;
  --trials) trials=$2; shift 2 ;;
  --resolves) resolves=$2; shift 2 ;;
  --burst) burst=$2; shift 2 ;;
  --idle-seconds) idle=$2; shift 2 ;;
  --keep) keep=$2; shift 2 ;;
  --label) label=$2; shift 2 ;;
  *) die "unknown argument $1" ;;
  esac
done

[ "$(id -u)" = 0 ] || die "needs root (it makes a network namespace)"
bin=$build/bin
for f in libzrkdnssd.so dnssd_direct_client bench_plugin_client bench_avahi_publisher; do
  [ -e "$bin/$f" ] || die "$bin/$f is missing: build first, e.g.
  cmake -S $root -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build $build"
done
if [ "$burst" -lt 1 ] || [ "$burst" -gt 2000 ]; then die "--burst is 1 to 2000"; fi

type=_zrkbench._tcp
idletype=_zrkbenchidle._tcp
work=$(mktemp -d /tmp/zrk-latency.XXXXXX)
stack=$work/stack

# Every program we start has a PID file in $work; each is stopped by its PID.
stop_programs() {
  for f in "$work"/*.pid; do
    [ -f "$f" ] || continue
    pid=$(cat "$f")
    kill "$pid" 2>/dev/null || true
  done
  for f in "$work"/*.pid; do
    [ -f "$f" ] || continue
    pid=$(cat "$f")
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$f"
  done
}

cleanup() {
  status=$?
  exec 3>&- 4>&- 5>&-
  stop_programs
  sh "$root/scripts/dnssd-netns.sh" stop "$stack" || status=1
  if [ -n "$keep" ]; then
    mkdir -p "$keep"
    cp "$work"/*.out "$work"/*.err "$work"/*.txt "$keep"/ 2>/dev/null || true
  fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP PIPE

# wait_line FILE REGEX SECONDS: bounded, polls every 50 ms.
wait_line() {
  _n=$(($3 * 20))
  _i=0
  while ! grep -q -E -- "$2" "$1" 2>/dev/null; do
    _i=$((_i + 1))
    [ $_i -le $_n ] || return 1
    sleep 0.05
  done
}

# The Nth field of the first line of FILE whose first two fields are KEY ID.
field() { # FILE KEY ID N
  awk -v k="$2" -v id="$3" -v n="$4" '$1 == k && $2 == id { print $n; exit }' "$1"
}

# Starts a program reading commands from a FIFO; its output goes to NAME.out.
start_driven() { # NAME COMMAND...
  _name=$1; shift
  mkfifo "$work/$_name.in"
  "$@" <"$work/$_name.in" >"$work/$_name.out" 2>"$work/$_name.err" &
  echo $! >"$work/$_name.pid"
}

# Starts a program with nothing to read.
start_idle() { # NAME COMMAND...
  _name=$1; shift
  "$@" </dev/null >"$work/$_name.out" 2>"$work/$_name.err" &
  echo $! >"$work/$_name.pid"
}

to_pub() { echo "$*" >&3; }
to_direct() { echo "$*" >&4; }
to_plugin() { echo "$*" >&5; }

# "median min max count" of the numbers in FILE, one a line.
stats() {
  sort -n "$1" | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "- - - 0"; exit }
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.1f %.1f %.1f %d\n", m, v[1], v[NR], NR }'
}

# Report rows: LABEL, the plug-in's figure, the direct client's, their ratio.
# row LABEL PLUGIN_FILE DIRECT_FILE: "median (min-max)" of each file, in ms.
row() {
  set -- "$1" "$(stats "$2")" "$(stats "$3")"
  echo "$1|$2|$3" | awk -F'|' '{
    split($2, p, " "); split($3, d, " ")
    ratio = (d[1] != "-" && d[1] > 0 && p[1] != "-") ? sprintf("%.2f", p[1] / d[1]) : "-"
    printf "  %-30s %-26s %-26s %s\n", $1, p[1] " (" p[2] "-" p[3] ")", d[1] " (" d[2] "-" d[3] ")", ratio }'
}
# single_row LABEL PLUGIN_VALUE DIRECT_VALUE
single_row() {
  echo "${2:--} ${3:--}" | awk -v l="$1" '{
    r = ($1 != "-" && $2 != "-" && $2 > 0) ? sprintf("%.2f", $1 / $2) : "-"
    printf "  %-30s %-26s %-26s %s\n", l, $1, $2, r }'
}

export AVAHI_COMPAT_NOWARN=1

# --- the stack and the three programs
sh "$root/scripts/dnssd-netns.sh" start "$stack" single
export "$(sh "$root/scripts/dnssd-netns.sh" env "$stack" a)"

limit=$((600 + 20 * trials + 2 * resolves))
start_driven pub "$bin/bench_avahi_publisher" --max-seconds "$limit"
exec 3>"$work/pub.in"
start_driven direct "$bin/dnssd_direct_client" --browse "$type" --max-seconds "$limit"
exec 4>"$work/direct.in"
start_driven plugin "$bin/bench_plugin_client" --plugin "$bin/libzrkdnssd.so" --browse "$type" \
  --max-seconds "$limit"
exec 5>"$work/plugin.in"
for p in pub direct plugin; do
  wait_line "$work/$p.out" "^ready " 10 || die "$p did not start: $(cat "$work/$p.err")"
done

if [ -z "$label" ]; then
  src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null)
  if label=$(git -C "${src:-$root}" log -1 --format=%h 2>/dev/null); then
    changed=$(git -C "${src:-$root}" --no-optional-locks status --porcelain -- host dnssd classes txt platform \
      2>/dev/null | awk '{ print $2 }' | tr '\n' ' ')
    label="commit $label${changed:+, with uncommitted changes to: $changed}"
  else
    label="sources at ${src:-?}"
  fi
fi
echo "zrk-dnssd reply latency against avahi-daemon $(dpkg-query -W -f '${Version}' avahi-daemon 2>/dev/null)"
echo "plug-in built from $label"
echo "plug-in $bin/libzrkdnssd.so, $(date -u '+%Y-%m-%d %H:%M:%S UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"

# --- 1. one new service at a time.  Trial 0 is not counted: the first
# service published in a run always reaches the browses long before its
# probing ends (within 200 ms of the commit, where most later ones take 800
# to 1000 ms).  Later trials do so now and then; that shows in the ranges,
# and not in the per-trial difference between the clients.
: >"$work/one-plugin.txt"; : >"$work/one-direct.txt"; : >"$work/one-diff.txt"; : >"$work/one-established.txt"
i=0
while [ $i -le "$trials" ]; do
  name=one-$i
  to_pub "add one$i $name $type $((5000 + i))"
  wait_line "$work/pub.out" "^(committed|failed) one$i " 10 || die "publisher did not answer"
  t0=$(field "$work/pub.out" committed "one$i" 3)
  [ -n "$t0" ] || die "publishing $name failed: $(grep "one$i" "$work/pub.out")"
  if ! wait_line "$work/direct.out" "^add $name " 20 || ! wait_line "$work/plugin.out" "^add $name " 20; then
    echo "  (trial $i: no Add of $name in both clients within 20 s)"
  elif [ $i -gt 0 ]; then
    td=$(field "$work/direct.out" add "$name" 3)
    tp=$(field "$work/plugin.out" add "$name" 3)
    echo "$td $t0" | awk '{ printf "%.3f\n", ($1 - $2) / 1000 }' >>"$work/one-direct.txt"
    echo "$tp $t0" | awk '{ printf "%.3f\n", ($1 - $2) / 1000 }' >>"$work/one-plugin.txt"
    echo "$tp $td" | awk '{ printf "%.3f\n", ($1 - $2) / 1000 }' >>"$work/one-diff.txt"
  fi
  to_pub "remove one$i"
  wait_line "$work/direct.out" "^rmv $name " 20 && wait_line "$work/plugin.out" "^rmv $name " 20 ||
    echo "  (trial $i: no Rmv of $name in both clients within 20 s)"
  te=$(field "$work/pub.out" established "one$i" 3)
  [ $i = 0 ] || [ -z "$te" ] || echo "$te $t0" | awk '{ printf "%.3f\n", ($1 - $2) / 1000 }' >>"$work/one-established.txt"
  i=$((i + 1))
done

# --- 2. resolve of a live service
to_pub "add live live $type 6000"
if ! wait_line "$work/direct.out" "^add live " 20 || ! wait_line "$work/plugin.out" "^add live " 20; then
  die "the live service was not seen"
fi
: >"$work/resolve-plugin.txt"; : >"$work/resolve-direct.txt"
: >"$work/resolve-call-plugin.txt"; : >"$work/resolve-call-direct.txt"
i=1
while [ $i -le "$resolves" ]; do
  if [ $((i % 2)) = 1 ]; then order="direct plugin"; else order="plugin direct"; fi
  for c in $order; do
    "to_$c" "resolve r$i live $type"
    if wait_line "$work/$c.out" "^resolved r$i " 10; then
      line=$(grep "^resolved r$i " "$work/$c.out" | head -n 1)
      echo "$line" | awk '$5 > 0 && $6 == 0 { printf "%.3f\n", ($5 - $3) / 1000 }' >>"$work/resolve-$c.txt"
      echo "$line" | awk '$5 > 0 && $6 == 0 { printf "%.3f\n", ($4 - $3) / 1000 }' >>"$work/resolve-call-$c.txt"
    else
      echo "  (resolve $i: no reply in $c within 10 s)"
    fi
  done
  i=$((i + 1))
done

# --- 3. a burst appearing at once, then going at once
for c in direct plugin; do "to_$c" "expect b add burst $burst"; done
for c in direct plugin; do wait_line "$work/$c.out" "^ok b$" 10 || die "$c did not take the burst"; done
to_pub "burst b burst $type $burst 7000"
wait_line "$work/pub.out" "^(committed|failed) b " 20 || die "publisher did not answer"
b0=$(field "$work/pub.out" committed b 3)
[ -n "$b0" ] || die "the burst failed: $(grep " b " "$work/pub.out")"
for c in direct plugin; do
  wait_line "$work/$c.out" "^complete b " 120 || echo "  ($c did not see all $burst within 120 s)"
done
for c in direct plugin; do "to_$c" "expect bx rmv burst $burst"; done
for c in direct plugin; do wait_line "$work/$c.out" "^ok bx$" 10 || die "$c did not take the removal"; done
to_pub "remove b"
wait_line "$work/pub.out" "^removed b " 10 || die "publisher did not remove the burst"
bx0=$(field "$work/pub.out" removed b 3)
for c in direct plugin; do
  wait_line "$work/$c.out" "^complete bx " 120 || echo "  ($c did not see all $burst go within 120 s)"
done
# From "complete ID FIRST LAST BUSY BUSY_CPU SLEEPS": the last and the first
# event after the publisher's moment, the longest busy stretch in wall and in
# CPU time (all ms), the sleeps.
for c in direct plugin; do
  awk -v t0="$b0" '$1 == "complete" && $2 == "b" {
    printf "%.1f\n%.1f\n%.2f\n%.2f\n%d\n", ($4 - t0) / 1000, ($3 - t0) / 1000, $5 / 1000, $6 / 1000, $7 }' \
    "$work/$c.out" >"$work/burst-$c.txt"
  awk -v t0="$bx0" '$1 == "complete" && $2 == "bx" {
    printf "%.1f\n%.1f\n%.2f\n%.2f\n%d\n", ($4 - t0) / 1000, ($3 - t0) / 1000, $5 / 1000, $6 / 1000, $7 }' \
    "$work/$c.out" >"$work/burstrm-$c.txt"
done
burst_established=$(awk -v t0="$b0" '$1 == "established" && $2 == "b" { printf "%.1f", ($3 - t0) / 1000 }' \
  "$work/pub.out")

to_direct quit; to_plugin quit; to_pub quit
exec 3>&- 4>&- 5>&-
stop_programs

# --- the report
nth() { sed -n "${2}p" "$1" 2>/dev/null; }
burst_row() { # LABEL FILE-STEM LINE
  single_row "$1" "$(nth "$work/$2-plugin.txt" "$3")" "$(nth "$work/$2-direct.txt" "$3")"
}
burst_extra() { # FILE-STEM LINE: the plug-in's time less the direct client's
  echo "$(nth "$work/$1-plugin.txt" "$2") $(nth "$work/$1-direct.txt" "$2")" |
    awk 'NF == 2 { printf "    plug-in minus direct: %.1f ms\n", $1 - $2 }'
}
echo
printf "  %-30s %-26s %-26s %s\n" "" "plug-in" "direct" "plug-in/direct"
echo "1. one new service, commit -> the client's Add: median (range) of $trials trials, ms"
row "commit -> Add" "$work/one-plugin.txt" "$work/one-direct.txt"
stats "$work/one-diff.txt" | awk '{
  printf "  plug-in minus direct, per trial: median %s ms (range %s to %s, n=%s)\n", $1, $2, $3, $4 }'
stats "$work/one-established.txt" | awk '{
  printf "  (the publisher hears \"established\" %s ms after its commit, median: the daemon probing)\n", $1 }'
echo "2. resolve of a live service, call -> first reply: median (range) of $resolves, ms"
row "call -> first reply" "$work/resolve-plugin.txt" "$work/resolve-direct.txt"
row "  of which inside the call" "$work/resolve-call-plugin.txt" "$work/resolve-call-direct.txt"
echo "3. burst of $burst services committed at once ('established' after ${burst_established:-?} ms)"
burst_row "commit -> last Add, ms" burst 1
burst_extra burst 1
burst_row "commit -> first Add, ms" burst 2
burst_row "longest busy stretch, ms" burst 3
burst_row "  in CPU time, ms" burst 4
burst_row "main-thread sleeps" burst 5
echo "   the same $burst withdrawn at once"
burst_row "remove -> last Rmv, ms" burstrm 1
burst_extra burstrm 1
burst_row "remove -> first Rmv, ms" burstrm 2
burst_row "longest busy stretch, ms" burstrm 3
burst_row "  in CPU time, ms" burstrm 4
burst_row "main-thread sleeps" burstrm 5
echo "  (from the first to the last event of the burst.  Busy stretch: from a return of the"
echo "   client's poll()/select() to its next call, in wall time and in the thread's CPU time;"
echo "   in the plug-in client that is the plug-in's timer tick with the handlers it ran."
echo "   Sleeps: the main thread's voluntary context switches.)"

# --- 4. idle wake-ups
[ "$idle" -gt 0 ] || exit 0

# "voluntary nonvoluntary threads timeslices main_voluntary" summed over the
# process's threads.
sample() {
  _pid=$1
  _s=$(cat /proc/"$_pid"/task/*/status 2>/dev/null | awk '
    /^voluntary_ctxt_switches/ { v += $2 } /^nonvoluntary_ctxt_switches/ { n += $2; t++ }
    END { printf "%d %d %d", v, n, t }')
  _t=$(cat /proc/"$_pid"/task/*/schedstat 2>/dev/null | awk '{ s += $3 } END { printf "%d", s }')
  _m=$(awk '/^voluntary_ctxt_switches/ { print $2 }' /proc/"$_pid"/status)
  echo "$_s $_t $_m"
}

run_for=$((idle + 30))
start_idle idle-bare "$bin/bench_plugin_client" --no-plugin --max-seconds "$run_for"
start_idle idle-loaded "$bin/bench_plugin_client" --plugin "$bin/libzrkdnssd.so" --max-seconds "$run_for"
start_idle idle-open "$bin/bench_plugin_client" --plugin "$bin/libzrkdnssd.so" --browse "$idletype" \
  --max-seconds "$run_for"
start_idle idle-direct "$bin/dnssd_direct_client" --browse "$idletype" --max-seconds "$run_for"
names="idle-bare idle-loaded idle-open idle-direct"
for n in $names; do
  wait_line "$work/$n.out" "^ready " 10 || die "$n did not start: $(cat "$work/$n.err")"
done
sleep 2
for n in $names; do sample "$(cat "$work/$n.pid")" >"$work/$n.before.txt"; done
sleep "$idle"
for n in $names; do sample "$(cat "$work/$n.pid")" >"$work/$n.after.txt"; done
stop_programs

echo "4. idle for $idle s: wake-ups (voluntary context switches, each a sleep that ended), all threads"
printf "  %-32s %9s %12s %11s %8s\n" "" "wake-ups" "main thread" "timeslices" "threads"
for n in $names; do
  case $n in
  idle-bare) what="bare GLib main loop" ;;
  idle-loaded) what="plug-in loaded, nothing open" ;;
  idle-open) what="plug-in, one browse open" ;;
  idle-direct) what="direct client, one browse open" ;;
  esac
  paste -d' ' "$work/$n.before.txt" "$work/$n.after.txt" | awk -v l="$what" '{
    printf "  %-32s %9d %12d %11d %8s\n", l, $6 - $1, $10 - $5, $9 - $4, ($3 == $8 ? $8 : $3 "->" $8) }'
done
echo "  (timeslices: /proc/PID/task/*/schedstat, times a thread was put on a CPU)"
