# zrk-dnssd's exit status against a real daemon: 1 for a start the daemon
# refuses, for a registration whose daemon dies and, while no daemon runs,
# for every command, each saying so; 0 for a registration that kept trying
# and registered again once its daemon was back.
. "$(dirname "$0")/lib.sh"
start_stack single

# run NAME COMMAND...: runs the tool as a client of a, bounded; its exit
# status goes to $status, its output to $work/NAME.log and .err.
run() {
  _name=$1; shift
  status=0
  fg a 15 "$TOOL" --timeout 2 "$@" >"$work/$_name.log" 2>"$work/$_name.err" || status=$?
}
expect() { # status name
  [ "$status" -eq "$1" ] || fail "$2 exited $status, not $1: $(cat "$work/$2.log" "$work/$2.err" 2>/dev/null)"
}
# count_lines NAME PATTERN N: waits until the log holds N lines matching.
count_lines() {
  _i=0
  while [ "$(grep -c -- "$2" "$work/$1.log")" -lt "$3" ]; do
    _i=$((_i + 1))
    [ $_i -le 100 ] || fail "fewer than $3 lines '$2' in $1: $(cat "$work/$1.log")"
    sleep 0.1
  done
}

run record record zrk-refused.local. A hex:7f000001
expect 1 record
grep -q '^zrk-dnssd: RegisterRecord failed: kErrorUnsupported (-65544)$' "$work/record.err" || fail "record"
run badtype browse not-a-type
expect 1 badtype
grep -q '^zrk-dnssd: Browse failed: ' "$work/badtype.err" || fail "browse: $(cat "$work/badtype.err")"

bg a dies "$TOOL" --timeout 30 register "zrk dies" _zrke2eexit._tcp 5101
bg a stays "$TOOL" --timeout 18 register "zrk stays" _zrke2eexit._tcp 5102 --keep-trying
wait_line dies 'Registered "zrk dies"'
wait_line stays 'Registered "zrk stays"'
sh "$SCRIPTS/dnssd-netns.sh" stop-daemon "$work/stack" a

status=0
wait_bg dies || status=$?
expect 1 dies
grep -q 'registration error kErrorUnknown (-65537)$' "$work/dies.log" || fail "dies: $(cat "$work/dies.log")"
grep -q '^zrk-dnssd: the DNS-SD daemon is not running: the registration ended with kErrorUnknown (-65537)$' \
  "$work/dies.log" || fail "dies: $(cat "$work/dies.log")"
wait_line stays 'the DNS-SD daemon is not running: waiting for it'

run status status
expect 1 status
printf 'available: yes\ndaemon: not running\ndaemon version: unknown\n' | cmp -s - "$work/status.log" ||
  fail "status: $(cat "$work/status.log")"
for command in "browse _zrke2eexit._tcp" "resolve x _zrke2eexit._tcp" "register x _zrke2eexit._tcp 1" \
  "domains" "record zrk-x.local. A hex:7f000001"; do
  # shellcheck disable=SC2086
  run none $command
  expect 1 none
  grep -q '^zrk-dnssd: the DNS-SD daemon is not running$' "$work/none.err" ||
    fail "$command without a daemon: $(cat "$work/none.err")"
done

sh "$SCRIPTS/dnssd-netns.sh" start-daemon "$work/stack" a
cat "$work"/stack/*/*.pid >"$work/daemon-pids"
wait_line stays 'Registering "zrk stays" _zrke2eexit._tcp port 5102 (again)'
count_lines stays 'Registered "zrk stays"' 2
status=0
wait_bg stays || status=$?
expect 0 stays
echo "exit status 1: refused start, dead daemon, every command without a daemon; 0: kept trying"
