# Registered on one host, browsed and resolved on the other, across a veth
# link between two namespaces of our own.
. "$(dirname "$0")/lib.sh"
start_stack pair

bg a reg "$TOOL" --timeout 12 register "zrk across" _zrke2elink._tcp 5005 where=a
wait_line reg 'Registered "zrk across" _zrke2elink._tcp. local.'
bg b browse "$TOOL" --timeout 10 browse _zrke2elink._tcp
wait_line browse 'Add .*  _zrke2elink._tcp.  zrk across$' 8
fg b 8 "$TOOL" --timeout 3 resolve "zrk across" _zrke2elink._tcp >"$work/resolve.log" 2>&1 || true
grep -q 'can be reached at zrk-a.local.:5005 ' "$work/resolve.log" || fail "resolve on b: $(cat "$work/resolve.log")"
grep -q 'TXT where=a$' "$work/resolve.log" || fail "TXT on b: $(cat "$work/resolve.log")"
echo "registered on a, browsed and resolved on b"
