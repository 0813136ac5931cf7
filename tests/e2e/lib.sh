# Shared by the end-to-end tests: a private daemon stack for the test, the
# command-line host run against it, and a check that nothing is left behind.
# Each test sources this with TOOL and SCRIPTS set, then calls start_stack.
set -eu

export AVAHI_COMPAT_NOWARN=1
work=$(mktemp -d /tmp/zrk-e2e.XXXXXX)
pids=""

fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }

cleanup() {
  status=$?
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  for pid in $pids; do
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
  done
  sh "$SCRIPTS/dnssd-netns.sh" stop "$work/stack" || status=1
  # Nothing of ours may outlive the test.
  if [ -f "$work/tag" ] && ip netns list | grep -q "zrkdnssd-$(cat "$work/tag")-"; then
    echo "FAIL: a namespace was left behind" >&2; status=1
  fi
  for pid in $pids $(cat "$work"/daemon-pids 2>/dev/null); do
    if kill -0 "$pid" 2>/dev/null; then echo "FAIL: process $pid was left behind" >&2; status=1; fi
  done
  [ $status -eq 0 ] || { echo "--- logs"; tail -n 30 "$work"/*.log 2>/dev/null || true; }
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM

start_stack() { # single|pair
  sh "$SCRIPTS/dnssd-netns.sh" start "$work/stack" "${1:-single}"
  cp "$work/stack/tag" "$work/tag"
  cat "$work"/stack/*/*.pid >"$work/daemon-pids"
}

on() { # host: the environment of a client of that host's daemon
  sh "$SCRIPTS/dnssd-netns.sh" env "$work/stack" "$1"
}

# Runs a command in the background as a client of a host; its output goes to
# $work/NAME.log.  bg HOST NAME COMMAND...
bg() {
  _host=$1; _name=$2; shift 2
  env "$(on "$_host")" "$@" >"$work/$_name.log" 2>&1 &
  pids="$pids $!"
  eval "pid_$_name=$!"
}

# The same, in the foreground, bounded.  fg HOST SECONDS COMMAND...
fg() {
  _host=$1; _seconds=$2; shift 2
  env "$(on "$_host")" timeout "$_seconds" "$@"
}

stop_bg() { # name: stop one background command, by its PID
  eval "_pid=\$pid_$1"
  kill "$_pid" 2>/dev/null || true
  _i=0
  while kill -0 "$_pid" 2>/dev/null && [ $_i -lt 50 ]; do sleep 0.1; _i=$((_i + 1)); done
}

wait_bg() { # name: wait for a background command to end; its status
  eval "_pid=\$pid_$1"
  wait "$_pid"
}

# Waits until the log of a background command holds a line matching a
# pattern.  wait_line NAME PATTERN [SECONDS]
wait_line() {
  _i=0
  _limit=$(( ${3:-10} * 10 ))
  while ! grep -q -- "$2" "$work/$1.log" 2>/dev/null; do
    _i=$((_i + 1))
    [ $_i -le $_limit ] || { cat "$work/$1.log" >&2 2>/dev/null || true; fail "no line '$2' in $1 after ${3:-10} s"; }
    sleep 0.1
  done
}

# avahi-browse resolves a type; prints its parsable "=" lines.
avahi_resolved() { # host type
  fg "$1" 10 avahi-browse -rtp "$2" | grep '^=' || true
}

# Avahi's parsable output escapes bytes as \DDD (decimal); undo it.
unescape() {
  python3 -c 'import re,sys; s=sys.stdin.buffer.read(); sys.stdout.buffer.write(re.sub(rb"\\(\d{3})", lambda m: bytes([int(m.group(1))]), s))'
}
