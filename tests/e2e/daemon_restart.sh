# The daemon stops during a browse: no crash, the host program keeps
# running, the browse ends with the error the library reports, and once the
# daemon is back a new Browse works (the tool's --keep-trying closes the
# ended operation and starts again).
. "$(dirname "$0")/lib.sh"
start_stack single

bg a browse "$TOOL" --timeout 12 browse _zrke2eback._tcp --keep-trying
wait_line browse 'Browsing for _zrke2eback._tcp'
sh "$SCRIPTS/dnssd-netns.sh" stop-daemon "$work/stack" a
wait_line browse 'browse error kErrorUnknown'
sleep 1
kill -0 "$pid_browse" || fail "the host program died with the daemon"
sh "$SCRIPTS/dnssd-netns.sh" start-daemon "$work/stack" a
cat "$work"/stack/*/*.pid >"$work/daemon-pids"
bg a pub avahi-publish -s "zrk back again" _zrke2eback._tcp 5003
wait_line browse 'Browsing for _zrke2eback._tcp (again)' 10
wait_line browse 'Add .*  _zrke2eback._tcp.  zrk back again$'
wait_bg browse || fail "browse exited $?"
echo "daemon restart during a browse: survived; $(grep -c 'browse error' "$work/browse.log") error replies"
