# EnumerateDomains against a daemon that also browses by unicast DNS, and
# Register in such a domain.  Avahi takes its browse domains from the search
# line of its resolv.conf: for browsing the plug-in reports zrk.test. alone
# (Avahi lists neither local. nor a default, and asks the DNS server nothing
# for it); for registering it reports nothing, and a Register in zrk.test. is
# refused at once (Avahi publishes only by multicast DNS).
. "$(dirname "$0")/lib.sh"
start_stack wide
dns=$work/stack/dns

# The daemon sees our resolv.conf, and so only our DNS server; the machine's
# own resolv.conf is not touched.
cmp -s "/proc/$(cat "$work/stack/a/avahi.pid")/root/etc/resolv.conf" "$work/stack/a/resolv.conf" ||
  fail "the daemon does not see the stack's resolv.conf"
! grep -q zrk.test /etc/resolv.conf || fail "the machine's resolv.conf names zrk.test"

# run NAME COMMAND...: the tool, parseable, as a client of a; output in NAME.out.
run() {
  _name=$1; shift
  fg a 10 "$TOOL" -p --timeout 2 "$@" >"$work/$_name.out" 2>"$work/$_name.log" ||
    fail "$* exited $?: $(cat "$work/$_name.log")"
}

run browse-domains domains
# One event: interface index -1 (Avahi's "any interface"), flags kFlagsAdd alone.
[ "$(cat "$work/browse-domains.out")" = "+;-1;2;zrk.test." ] ||
  fail "browse domains: $(cat "$work/browse-domains.out")"

run registration-domains domains --registration
[ ! -s "$work/registration-domains.out" ] ||
  fail "registration domains: $(cat "$work/registration-domains.out")"

status=0
fg a 10 "$TOOL" --timeout 2 register "zrk wide" _zrkwidereg._tcp 7070 --domain zrk.test. \
  >"$work/register.log" 2>&1 || status=$?
[ $status -eq 1 ] && grep -q '^zrk-dnssd: Register failed: kErrorUnknown (-65537)$' "$work/register.log" ||
  fail "register in zrk.test. exited $status: $(cat "$work/register.log")"

echo "browse domains: zrk.test. (flags 2, interface -1); registration domains: none;" \
  "Register in zrk.test.: refused, kErrorUnknown"
echo "asked of the DNS server: $(sh "$SCRIPTS/dns-server.sh" queries "$dns" | sort -u | paste -s -d, - | sed 's/^$/nothing/')"
