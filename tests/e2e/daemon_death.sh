# The daemon is killed (SIGKILL) under a host program and started again, cycle
# after cycle, at varying moments of its operations: the host program lives,
# each open operation gets exactly one error event, operations on the
# restarted daemon work, and descriptors and threads do not pile up.
. "$(dirname "$0")/lib.sh"
start_stack single

daemon="$SCRIPTS/dnssd-netns.sh"
status=0
fg a 120 "$DRIVER" --plugin "$PLUGIN" --cycles 8 \
  --kill "sh '$daemon' kill-daemon '$work/stack' a" \
  --start "sh '$daemon' start-daemon '$work/stack' a" >"$work/cycles.log" 2>&1 || status=$?
# The daemon running now is the last one the driver started.
cat "$work"/stack/*/*.pid >"$work/daemon-pids"
case $status in
0) ;;
124) fail "the host program did not finish in time" ;;
1) fail "the host program found a fault: $(tail -n 1 "$work/cycles.log")" ;;
*) [ "$status" -le 128 ] || fail "the host program died of signal $((status - 128))"
   fail "the host program exited $status" ;;
esac
echo "daemon killed under a host program: $(tail -n 1 "$work/cycles.log")"
