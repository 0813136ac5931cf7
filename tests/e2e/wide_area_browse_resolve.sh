# Browse and Resolve in zrk.test., a domain served by unicast DNS: Browse
# reports exactly the instances of the zone (scripts/zone/zrk.test.zone), a
# UTF-8 name among them, and Resolve gives each one's SRV target and port and
# its TXT record item for item.  What Avahi adds: every result carries
# interface index -1, which Avahi's Resolve refuses when it is handed back
# (kInterfaceIndexAny works), and a Browse for a type the domain does not
# hold ends with kErrorUnknown.
. "$(dirname "$0")/lib.sh"
start_stack wide
type=_zrkwide._tcp

fg a 10 "$TOOL" -p --timeout 2 browse $type zrk.test. >"$work/browse.out" 2>"$work/browse.log" ||
  fail "browse exited $?: $(cat "$work/browse.log")"
# One resolve per instance, by the name browse gave (the names hold no ';' or '\').
sed -n 's/^+;[^;]*;[^;]*;\([^;]*\);.*/\1/p' "$work/browse.out" >"$work/names"
i=0
while IFS= read -r name; do
  i=$((i + 1))
  [ $i -le 10 ] || fail "more instances than the zone holds"
  fg a 10 "$TOOL" -p --timeout 2 resolve "$name" $type zrk.test. >"$work/resolve-$i.out" 2>"$work/resolve-$i.log" ||
    fail "resolve $name exited $?: $(cat "$work/resolve-$i.log")"
done <"$work/names"

python3 - "$work" <<'PY' || fail "browse or resolve did not give the zone's records"
import glob, re, sys

# The zone's instances: SRV target and port, TXT items in the zone's order.
zone = {
    "Café Zürich ☕": ("cafe.zrk.test.", 8080,
                      ["path=/menu", "lang=de", "flag", "empty=", "motd=open 7 to 7", "grüße=schön"]),
    "Printer Room 2": ("printer.zrk.test.", 631, ["rp=queue2"]),
    "Old Service": ("old.zrk.test.", 9000, ["state=retiring"]),
}

def fields(line):
    """A parseable line's fields, \\DDD escapes undone."""
    return [re.sub(rb"\\(\d{3})", lambda m: bytes([int(m.group(1))]), f) for f in line.split(b";")]

def first_label(fullname):
    """The instance name of a full name in DNS-SD's escaped form."""
    label = re.match(rb"((?:[^.\\]|\\\d{3}|\\.)*)\.", fullname).group(1)
    return re.sub(rb"\\(\d{3}|.)", lambda m: bytes([int(m.group(1))]) if len(m.group(1)) == 3 else m.group(1), label)

def record(items):
    return b"".join(bytes([len(i)]) + i for i in items)

work = sys.argv[1]
browse = [fields(l) for l in open(work + "/browse.out", "rb").read().splitlines()]
assert all(f[:3] == [b"+", b"-1", b"2"] and f[4:] == [b"_zrkwide._tcp.", b"zrk.test."] for f in browse), browse
names = sorted(f[3] for f in browse)
assert names == sorted(n.encode() for n in zone), names

orders = []
for path in sorted(glob.glob(work + "/resolve-*.out")):
    lines = open(path, "rb").read().splitlines()
    assert len(lines) == 1, (path, lines)
    f = fields(lines[0])
    assert f[:3] == [b"=", b"-1", b"0"], f
    name = first_label(f[3]).decode()
    assert f[3].endswith(b"._zrkwide._tcp.zrk.test."), f[3]
    host, port, items = zone[name]
    assert (f[4], f[5]) == (host.encode(), str(port).encode()), (name, f[4:6])
    want = [i.encode() for i in items]
    got = record(f[6:])
    # Avahi's client library hands the items over last first; each item's
    # bytes are the zone's.
    if got == record(want):
        order = "as in the zone"
    elif got == record(want[::-1]):
        order = "reversed"
    else:
        raise AssertionError((name, f[6:], want))
    if len(want) > 1:
        orders.append(order)
print("%d instances, SRV and TXT as in the zone; TXT items %s" % (len(names), ", ".join(sorted(set(orders)))))
PY

status=0
fg a 10 "$TOOL" -p --timeout 2 browse _zrkabsent._tcp zrk.test. >"$work/absent.out" 2>"$work/absent.log" || status=$?
[ $status -eq 1 ] && [ "$(cat "$work/absent.out")" = '!;-65537;kErrorUnknown' ] ||
  fail "browse of an absent type exited $status: $(cat "$work/absent.out" "$work/absent.log")"

# The index a result came with, handed back to Resolve.
status=0
fg a 10 "$TOOL" --timeout 2 resolve --interface local "Printer Room 2" $type zrk.test. \
  >"$work/resolve-local.log" 2>&1 || status=$?
[ $status -eq 1 ] && grep -q '^zrk-dnssd: Resolve failed' "$work/resolve-local.log" ||
  fail "Resolve with interface -1 exited $status: $(cat "$work/resolve-local.log")"

q=$(sh "$SCRIPTS/dns-server.sh" queries "$work/stack/dns")
printer='Printer\\032Room\\0322._zrkwide._tcp.zrk.test' # as named logs it, as a pattern
for want in "_zrkwide._tcp.zrk.test IN PTR" "_zrkabsent._tcp.zrk.test IN PTR" "$printer IN SRV" "$printer IN TXT"; do
  printf '%s\n' "$q" | grep -q "^$want\$" || fail "the daemon did not ask for $want: $q"
done
echo "asked of the DNS server: $(printf '%s\n' "$q" | awk '{print $3}' | sort | uniq -c | awk '{print $2 " x" $1}' | paste -s -d' ' -)"
