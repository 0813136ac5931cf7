# A foreign publisher's service whose name holds ";", "\", a newline and
# non-ASCII bytes, with TXT items that hold spaces, separators, controls and
# empty values: zrk-dnssd -p browse and resolve give back the exact name and
# the exact TXT items.
. "$(dirname "$0")/lib.sh"
start_stack single

name=$(printf 'semi;colon \\back\\slash\nnext line \303\251 \342\230\225')
set -- "k=v" "empty=" "flag" "sp ace=a b" "semi=;x;" 'bs=\' "$(printf 'ctl=\001\037')" '"q"="' "$(printf '\303\251=\342\230\225')"
bg a pub avahi-publish -s "$name" _zrke2eparse._tcp 7007 "$@"
fg a 10 "$TOOL" -p --timeout 3 browse _zrke2eparse._tcp >"$work/browse.out" 2>"$work/browse.log" || true
fg a 10 "$TOOL" -p --timeout 3 resolve "$name" _zrke2eparse._tcp >"$work/resolve.out" 2>"$work/resolve.log" || true

python3 - "$work/browse.out" "$work/resolve.out" "$name" "$@" <<'PY' || fail "parsed back wrong"
import re, sys

def fields(line):
    """Splits a parseable line and undoes its \\DDD escapes."""
    return [re.sub(rb"\\(\d{3})", lambda m: bytes([int(m.group(1))]), f) for f in line.split(b";")]

def first_label(fullname):
    """The first label of a name in DNS-SD's escaped form."""
    label, i = b"", 0
    while i < len(fullname) and fullname[i:i + 1] != b".":
        if fullname[i:i + 1] == b"\\" and fullname[i + 1:i + 4].isdigit():
            label += bytes([int(fullname[i + 1:i + 4])]); i += 4
        elif fullname[i:i + 1] == b"\\":
            label += fullname[i + 1:i + 2]; i += 2
        else:
            label += fullname[i:i + 1]; i += 1
    return label

browse, resolve = (open(p, "rb").read().splitlines() for p in sys.argv[1:3])
name = sys.argv[3].encode()
items = sorted(a.encode() for a in sys.argv[4:])
added = [f for f in map(fields, browse) if f[0] == b"+"]
assert len(browse) == len(added) >= 1, browse
assert [f[3:] for f in added] == [[name, b"_zrke2eparse._tcp.", b"local."]] * len(added), added
resolved = [fields(line) for line in resolve]
assert len(resolved) >= 1 and all(f[0] == b"=" for f in resolved), resolve
for f in resolved:
    assert first_label(f[3]) == name, (f[3], name)
    assert f[5] == b"7007", f
    # Avahi's library gives the items in its own order.
    assert sorted(f[6:]) == items, (sorted(f[6:]), items)
print("parsed back: name %r, %d TXT items" % (name, len(items)))
PY
stop_bg pub
