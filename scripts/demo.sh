#!/bin/sh
# The plug-in at work against a private DNS-SD daemon: register a service,
# find it by browsing, resolve it, read its TXT record; then, beyond the link,
# find a service published in a unicast DNS domain through the domains the
# daemon names for browsing; then clean up.
#   demo.sh TOOL
set -eu
tool=$1
scripts=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/zrk-demo.XXXXXX)
reg_pid=""
cleanup() {
  [ -z "$reg_pid" ] || kill "$reg_pid" 2>/dev/null || true
  [ -z "$reg_pid" ] || wait "$reg_pid" 2>/dev/null || true
  sh "$scripts/dnssd-netns.sh" stop "$work/stack"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

echo "== a private avahi-daemon and a DNS server for zrk.test, in a network namespace of their own"
sh "$scripts/dnssd-netns.sh" start "$work/stack" wide
export AVAHI_COMPAT_NOWARN=1
export "$(sh "$scripts/dnssd-netns.sh" env "$work/stack" a)"

echo "== zrk-dnssd status"
"$tool" status

echo "== zrk-dnssd register \"zrk-dnssd demo\" _zrkdemo._tcp 8080 path=/index.html version=1.0"
"$tool" --timeout 10 register "zrk-dnssd demo" _zrkdemo._tcp 8080 path=/index.html version=1.0 &
reg_pid=$!
sleep 1

echo "== zrk-dnssd browse _zrkdemo._tcp"
"$tool" --timeout 2 browse _zrkdemo._tcp

echo "== zrk-dnssd resolve \"zrk-dnssd demo\" _zrkdemo._tcp"
"$tool" --timeout 2 resolve "zrk-dnssd demo" _zrkdemo._tcp

echo "== zrk-dnssd txt path=/index.html version=1.0"
"$tool" txt path=/index.html version=1.0

echo "== beyond the link: zrk-dnssd domains (where to browse besides local.)"
"$tool" --timeout 2 domains | tee "$work/domains.txt"
domain=$(awk '$2 == "Add" { print $NF; exit }' "$work/domains.txt")
[ -n "$domain" ] || { echo "no domain to browse" >&2; exit 1; }

echo "== zrk-dnssd browse _http._tcp $domain"
"$tool" --timeout 2 browse _http._tcp "$domain" | tee "$work/browse.txt"
name=$(sed -n 's/^.*  Add  .*  //p' "$work/browse.txt" | head -n 1)
[ -n "$name" ] || { echo "no _http._tcp service in $domain" >&2; exit 1; }

echo "== zrk-dnssd resolve \"$name\" _http._tcp $domain"
"$tool" --timeout 2 resolve "$name" _http._tcp "$domain"

echo "== what the daemon asked the DNS server (from its query log)"
sh "$scripts/dns-server.sh" queries "$work/stack/dns"

echo "== done: the registration ends with its program, the daemons with the demo"
