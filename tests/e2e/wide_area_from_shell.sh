# Beyond the link from the shell, as a user would: zrk-dnssd domains names
# the domain, browse in that domain lists the zone's instances, resolve of
# the one with a UTF-8 name gives its host, port and TXT items; the lines as
# zrk-dnssd prints them for people.
. "$(dirname "$0")/lib.sh"
start_stack wide
stamp='[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\.[0-9][0-9][0-9]'

fg a 10 "$TOOL" --timeout 2 domains >"$work/domains.log" 2>&1 || fail "domains exited $?: $(cat "$work/domains.log")"
domain=$(sed -n "s/^$stamp  Add  flags=0x2 if=-1  //p" "$work/domains.log")
[ "$domain" = zrk.test. ] || fail "domains: $(cat "$work/domains.log")"

fg a 10 "$TOOL" --timeout 2 browse _zrkwide._tcp "$domain" >"$work/browse.log" 2>&1 ||
  fail "browse exited $?: $(cat "$work/browse.log")"
grep -q "^$stamp  Browsing for _zrkwide._tcp in zrk.test.\$" "$work/browse.log" || fail "browse: $(cat "$work/browse.log")"
[ "$(grep -c "^$stamp  Add  " "$work/browse.log")" -eq 3 ] || fail "browse: $(cat "$work/browse.log")"
for name in 'Café Zürich ☕' 'Printer Room 2' 'Old Service'; do
  grep -q "^$stamp  Add  flags=0x2 if=-1  zrk.test.  _zrkwide._tcp.  $name\$" "$work/browse.log" ||
    fail "browse lacks $name: $(cat "$work/browse.log")"
done

fg a 10 "$TOOL" --timeout 2 resolve 'Café Zürich ☕' _zrkwide._tcp "$domain" >"$work/resolve.log" 2>&1 ||
  fail "resolve exited $?: $(cat "$work/resolve.log")"
# The full name as DNS-SD escapes it; TXT items with the space as \032.
line=$(grep "^$stamp  Caf" "$work/resolve.log") || fail "resolve: $(cat "$work/resolve.log")"
case $line in
*'  Caf\195\169\032Z\195\188rich\032\226\152\149._zrkwide._tcp.zrk.test. can be reached at cafe.zrk.test.:8080 if=-1 flags=0x0  TXT '*) ;;
*) fail "resolve: $line" ;;
esac
for item in path=/menu lang=de flag empty= 'motd=open\0327\032to\0327' 'grüße=schön'; do
  case " ${line#*  TXT } " in *" $item "*) ;; *) fail "TXT lacks $item: $line" ;; esac
done
echo "domains, browse and resolve in $domain from the shell: as the zone says"
