# A foreign client publishes; the plug-in's Browse reports it (add, then
# remove when the publisher stops) and Resolve gives host, port and the TXT
# bytes that the TXT class reads.
. "$(dirname "$0")/lib.sh"
start_stack single

bg a browse "$TOOL" --timeout 12 browse _zrke2epub._tcp
wait_line browse 'Browsing for _zrke2epub._tcp'
bg a pub avahi-publish -s "zrk publish test" _zrke2epub._tcp 6001 "k=v" "flag" "path=/a b"
wait_line browse 'Add  flags=0x[0-9a-f]* if=[0-9]*  local.  _zrke2epub._tcp.  zrk publish test$'

fg a 8 "$TOOL" --timeout 3 resolve "zrk publish test" _zrke2epub._tcp local. >"$work/resolve.log" 2>&1 || true
grep -q 'can be reached at zrk-a.local.:6001 ' "$work/resolve.log" || fail "resolve: $(cat "$work/resolve.log")"
grep -q 'TXT ' "$work/resolve.log" || fail "resolve gave no TXT"
# One line, items escaped: the space inside an item is \032.
for item in 'k=v' 'flag' 'path=/a\\032b'; do
  grep 'TXT ' "$work/resolve.log" | grep -q -- "$item" || fail "TXT lacks $item: $(grep TXT "$work/resolve.log")"
done

stop_bg pub
wait_line browse 'Rmv  flags=0x[0-9a-f]* if=[0-9]*  local.  _zrke2epub._tcp.  zrk publish test$'
stop_bg browse
echo "browse add and remove, resolve with TXT: as published"
