# The plug-in registers a service with a TXT record; a foreign client sees
# its name, port and TXT; an UpdateRecord changes what it sees; Close
# withdraws it.
. "$(dirname "$0")/lib.sh"
start_stack single

bg a reg "$TOOL" --timeout 8 register "zrk register test" _zrke2ereg._tcp 4242 a=1 b=hello \
  --update-after 3 a=2 c=new
wait_line reg 'Registered "zrk register test" _zrke2ereg._tcp. local.'

seen=$(avahi_resolved a _zrke2ereg._tcp)
printf "%s\n" "$seen" | unescape | grep -q '^=;lo;IPv4;zrk register test;_zrke2ereg._tcp;local;zrk-a.local;127.0.0.1;4242;' ||
  fail "avahi-browse saw: $seen"
printf "%s\n" "$seen" | grep -q '"a=1"' && printf "%s\n" "$seen" | grep -q '"b=hello"' || fail "TXT seen: $seen"

wait_line reg 'Updated TXT a=2 c=new'
sleep 0.5
seen=$(avahi_resolved a _zrke2ereg._tcp)
printf "%s\n" "$seen" | grep -q '"a=2"' && printf "%s\n" "$seen" | grep -q '"c=new"' || fail "updated TXT seen: $seen"
printf "%s\n" "$seen" | grep -q '"b=hello"' && fail "old TXT still seen: $seen"

wait_bg reg || fail "register exited $?"
# Withdrawn: the goodbye reaches every cache within a second or so.
tries=0
while seen=$(avahi_resolved a _zrke2ereg._tcp) && [ -n "$seen" ]; do
  tries=$((tries + 1))
  [ $tries -le 10 ] || fail "still registered after Close: $seen"
  sleep 0.5
done
echo "register, update, withdraw: seen by avahi-browse"
