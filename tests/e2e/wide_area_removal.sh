# A service taken out of the zone (edited, server reloaded): a Browse started
# once the PTR record's TTL has run out reports exactly what the zone still
# holds.  Avahi asks the DNS server once per question and keeps the answer for
# its TTL: a Browse started within the TTL is answered from that cache, and a
# Browse left open never hears of the removal.
. "$(dirname "$0")/lib.sh"
start_stack wide
dns=$work/stack/dns
ttl=5 # of the _zrkwide._tcp PTR records in scripts/zone/zrk.test.zone

bg a open "$TOOL" -p --timeout 40 browse _zrkwide._tcp zrk.test.
wait_line open '^+;-1;2;Old Service;'
zone=$dns/zrk.test.zone
sed -i -e '/Old\\ Service/d' -e '/^old /d' -e 's/^\(@ *SOA *ns hostmaster\) 1 /\1 2 /' "$zone"
grep -q 'hostmaster 2 ' "$zone" && ! grep -q 'Old' "$zone" || fail "the zone was not edited: $(cat "$zone")"
sh "$SCRIPTS/dns-server.sh" reload "$dns"

# A new Browse, one second long each, until one no longer lists Old Service:
# one started after the TTL must, so the tries end within TTL + 3 s of the
# reload.
tries=0
while :; do
  tries=$((tries + 1))
  fg a 10 "$TOOL" -p --timeout 1 browse _zrkwide._tcp zrk.test. >"$work/new.out" 2>"$work/new.log" ||
    fail "browse exited $?: $(cat "$work/new.log")"
  grep -q ';Old Service;' "$work/new.out" || break
  [ $tries -lt $((ttl + 3)) ] || fail "Old Service still reported by a Browse started $ttl s after the reload"
done
[ "$(sort "$work/new.out")" = "$(printf '%s\n' '+;-1;2;Café Zürich ☕;_zrkwide._tcp.;zrk.test.' \
  '+;-1;2;Printer Room 2;_zrkwide._tcp.;zrk.test.' | sort)" ] || fail "after the removal: $(cat "$work/new.out")"

# The new answer came from the DNS server, asked again.
asked=$(sh "$SCRIPTS/dns-server.sh" queries "$dns" | grep -c '^_zrkwide._tcp.zrk.test IN PTR$' || true)
[ "$asked" -ge 2 ] || fail "PTR asked $asked times: $(sh "$SCRIPTS/dns-server.sh" queries "$dns")"

# What Avahi does, as the README says: nothing tells the open Browse.
stop_bg open
! grep -q '^-;' "$work/open.log" || fail "the open Browse reported a removal: update the README: $(cat "$work/open.log")"
echo "removal seen by a new Browse at try $tries (about a second each), PTR asked $asked times;" \
  "the open Browse was not told"
