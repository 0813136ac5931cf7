# Two services with the same name: the daemon renames the second or reports
# a conflict (Avahi refuses the second Register at once), and the plug-in
# reports what it was told.
. "$(dirname "$0")/lib.sh"
start_stack single

bg a first "$TOOL" --timeout 8 register "zrk same name" _zrke2esame._tcp 5001
wait_line first 'Registered "zrk same name" _zrke2esame._tcp. local.'
bg a second "$TOOL" --timeout 8 register "zrk same name" _zrke2esame._tcp 5002
wait_line second 'Registered "zrk same name #2"\|registration error kErrorNameConflict\|Register failed: kErrorNameConflict'
seen=$(avahi_resolved a _zrke2esame._tcp | unescape)
if grep -q 'Registered "zrk same name #2"' "$work/second.log"; then
  printf "%s\n" "$seen" | grep -q ';zrk same name #2;.*;5002;' || fail "renamed service not seen: $seen"
fi
printf "%s\n" "$seen" | grep -q ';zrk same name;.*;5001;' || fail "first service not seen: $seen"
echo "second registration: $(grep -o 'Registered.*\|registration error.*\|Register failed.*' "$work/second.log")"
