#!/bin/sh
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz, replays the inputs that once
# failed, and runs each target for a bounded time on a copy of its committed
# corpus.  A crash, a wrong answer, a leak, a timeout or running out of
# memory fails the run and prints the input that caused it, in hex and in
# base64, with the command that replays it.  Needs no DNS-SD daemon.
#
#   sh scripts/fuzz.sh [SECONDS] [TARGET...]     default: every target, 60 s each
#                                                (the declaration parser 20 s)
#   sh scripts/fuzz.sh coverage [CORPUS_ROOT]    line coverage of the plug-in's
#                                                code reached by the corpora
#
# Targets: txt, events, events_all, declaration.  Run as root on Debian 12 it
# first installs what is missing (scripts/install-deps.sh).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
all_targets="txt events events_all declaration"

# The corpus a target starts from: both event targets read the same inputs.
corpus_of() {
  case $1 in events_all) echo events ;; *) echo "$1" ;; esac
}

# The scripted DNS-SD library keeps every reference it handed out, to know a
# stale one when it sees it, so the event targets' memory grows with each
# input and libFuzzer's leak check after each input could only ever scan in
# vain.  LeakSanitizer still checks them at exit, and the targets check every
# reference, record, poll-list node, string and hold after each input.
flags_of() {
  case $1 in events*) echo -detect_leaks=0 ;; esac
}

configure() { # build-dir extra-cmake-args...
  dir=$1; shift
  CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRK_FUZZ=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target zrk_fuzz
}

show_input() { # file
  echo "--- $1 ($(wc -c <"$1") bytes)"
  od -An -tx1 -v "$1" | head -n 64
  echo "base64: $(base64 -w0 "$1" | head -c 8192)"
}

if [ "${1:-}" = coverage ]; then
  root=${2:-$top/fuzz}
  build=$top/build-cov
  configure "$build" -DZRK_FUZZ_COVERAGE=ON
  profiles=$(mktemp -d)
  trap 'rm -rf "$profiles"' EXIT
  for target in $all_targets; do
    corpus=$root/corpus/$(corpus_of "$target")
    [ -d "$corpus" ] || continue
    # Each input once, nothing new.
    # shellcheck disable=SC2046
    LLVM_PROFILE_FILE="$profiles/$target-%p.profraw" AVAHI_COMPAT_NOWARN=1 \
      "$build/bin/${target}_fuzz" -runs=0 $(flags_of "$target") "$corpus" >/dev/null 2>&1
  done
  llvm-profdata merge -sparse -o "$profiles/all.profdata" "$profiles"/*.profraw
  # The first program is named alone, the others as -object.
  objects=""
  for target in $all_targets; do
    objects="$objects${objects:+ -object=}$build/bin/${target}_fuzz"
  done
  # shellcheck disable=SC2086
  llvm-cov report -instr-profile="$profiles/all.profdata" $objects \
    "$top/host" "$top/dnssd" "$top/classes" "$top/txt"
  exit 0
fi

seconds=${1:-}
[ $# -eq 0 ] || shift
targets=${*:-$all_targets}
sh "$top/scripts/install-deps.sh"
build=$top/build-fuzz
configure "$build"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export AVAHI_COMPAT_NOWARN=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in $targets; do
  binary=$build/bin/${target}_fuzz
  name=$(corpus_of "$target")
  # A parser of one line reaches all it can in seconds.
  time=${seconds:-60}
  [ -n "$seconds" ] || [ "$target" != declaration ] || time=20
  dir=$work/$target
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp "$top/fuzz/corpus/$name/"* "$dir/corpus/" 2>/dev/null || true
  regressions=$(ls "$top/fuzz/regressions/$name/"* 2>/dev/null || true)
  failed=""
  if [ -n "$regressions" ]; then
    # shellcheck disable=SC2086
    (cd "$dir" && "$binary" -artifact_prefix="$dir/artifacts/" $regressions >"$dir/log" 2>&1) ||
      failed="an input that once failed fails again"
  fi
  if [ -z "$failed" ]; then
    # shellcheck disable=SC2046
    (cd "$dir" && "$binary" -max_total_time="$time" -timeout=30 -rss_limit_mb=2048 $(flags_of "$target") \
      -artifact_prefix="$dir/artifacts/" -print_final_stats=1 "$dir/corpus" >"$dir/log" 2>&1) ||
      failed="a fault found"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log")
  if [ -z "$failed" ]; then
    echo "fuzz $target: ${runs:-?} inputs in ${time} s (${rate:-?}/s), nothing found"
    continue
  fi
  status=1
  echo "fuzz $target: FAILED, $failed"
  # What went wrong, then where.
  grep -a -m 20 -e '_fuzz: ' -e '^hostsim: ' -e '^scripted DNS-SD' -e 'ERROR: ' -e 'runtime error' "$dir/log" || true
  grep -a -v -e '^#[0-9]' -e '^	NEW_FUNC' "$dir/log" | tail -n 40
  for artifact in "$dir"/artifacts/*; do
    [ -e "$artifact" ] || continue
    show_input "$artifact"
    echo "replay: base64 -d >FILE, then AVAHI_COMPAT_NOWARN=1 $binary $(flags_of "$target") FILE"
  done
done
exit $status
