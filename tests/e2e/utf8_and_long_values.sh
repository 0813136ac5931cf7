# A UTF-8 name survives both ways, and so does the longest TXT value DNS-SD
# can carry with a one-byte key (253 bytes: key, "=" and value share one
# length byte of at most 255).
. "$(dirname "$0")/lib.sh"
start_stack single
name='Café Ünïcode ☕'
long=$(printf 'v%.0s' $(seq 253))

bg a reg "$TOOL" --timeout 8 register "$name" _zrke2eutf._tcp 4343 "k=$long"
wait_line reg "Registered \"$name\" _zrke2eutf._tcp. local."
seen=$(avahi_resolved a _zrke2eutf._tcp | unescape)
printf "%s\n" "$seen" | grep -q "^=;lo;IPv4;$name;_zrke2eutf._tcp;local;" || fail "avahi-browse saw: $seen"
printf "%s\n" "$seen" | grep -q "\"k=$long\"" || fail "long value not seen whole"
"$TOOL" txt "k=${long}v" >"$work/txt.log" 2>&1 && fail "a 254-byte value was accepted"
grep -q 'kErrorInvalid' "$work/txt.log" || fail "$(cat "$work/txt.log")"

bg a pub avahi-publish -s "Ünï ☕ from avahi" _zrke2eutf2._tcp 4344 "k=$long"
fg a 8 "$TOOL" --timeout 3 browse _zrke2eutf2._tcp >"$work/browse.log" 2>&1 || true
grep -q "Add .*  _zrke2eutf2._tcp.  Ünï ☕ from avahi$" "$work/browse.log" || fail "browse: $(cat "$work/browse.log")"
fg a 8 "$TOOL" --timeout 3 resolve "Ünï ☕ from avahi" _zrke2eutf2._tcp >"$work/resolve.log" 2>&1 || true
grep -q "TXT k=$long\$" "$work/resolve.log" || fail "resolve: $(cat "$work/resolve.log")"
echo "UTF-8 names and 253-byte values: both ways"
