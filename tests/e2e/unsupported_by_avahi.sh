# What Avahi does not support gives false or the DNS-SD code, never a crash.
. "$(dirname "$0")/lib.sh"
start_stack single

bg a reg "$TOOL" --timeout 4 register "zrk extra record" _zrke2eadd._tcp 5004 --add-record 16 hex:03613d31
wait_line reg 'Added record of type 16\|AddRecord failed: kError'
# A refused AddRecord ends the run as a failure.
status=0
wait_bg reg || status=$?
if grep -q 'AddRecord failed' "$work/reg.log"; then
  [ $status -eq 1 ] || fail "register exited $status after a refused AddRecord"
else
  [ $status -eq 0 ] || fail "register exited $status"
fi

if fg a 8 "$TOOL" --timeout 2 record zrk-record.local. A hex:7f000001 >"$work/record.log" 2>&1; then
  grep -q 'Record registered' "$work/record.log" || fail "record: $(cat "$work/record.log")"
else
  grep -q 'RegisterRecord failed: kError' "$work/record.log" || fail "record: $(cat "$work/record.log")"
fi
fg a 8 "$TOOL" --timeout 2 domains --registration >"$work/domains.log" 2>&1 ||
  grep -q 'EnumerateDomains failed: kError' "$work/domains.log" || fail "domains: $(cat "$work/domains.log")"
echo "AddRecord: $(grep -o 'Added.*\|AddRecord failed.*' "$work/reg.log")"
echo "RegisterRecord: $(grep -o 'Record registered.*\|RegisterRecord failed.*' "$work/record.log")"
echo "EnumerateDomains: $(tail -n 1 "$work/domains.log")"
