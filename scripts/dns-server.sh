#!/bin/sh
# A private unicast DNS server for wide-area DNS-SD: BIND's named, serving
# the zones of scripts/zone/ and nothing else, inside a network namespace we
# made, listening only on that namespace's 127.0.0.1.  It never recurses and
# sends no notifies, so it answers but never asks anyone anything.
#
#   dns-server.sh start DIR NETNS   copy the zones into DIR and serve them there
#   dns-server.sh reload DIR        load DIR's zone files again, after an edit
#   dns-server.sh queries DIR       the questions asked so far, "NAME CLASS TYPE"
#   dns-server.sh stop DIR          stop the server, by its PID
#
# DIR keeps the server's state: named.conf, the zone files (zrk.test.zone, ...),
# named.pid, named.log and queries.log (every question, with its time).
# BIND: its zone files hold DNS-SD instance names as they are, spaces and
# UTF-8 bytes included (dnsmasq turns a UTF-8 name into IDNA's xn-- form, and
# takes changed records only on a restart), and named logs every question in
# plain text, so we see what the DNS-SD daemon asks (Knot and NSD log
# questions only through dnstap).
set -eu

die() { echo "dns-server: $*" >&2; exit 1; }

[ "$(id -u)" = 0 ] || die "needs root"
cmd=${1:-}; dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || die "usage: $0 start DIR NETNS | reload|queries|stop DIR"
zones=$(cd "$(dirname "$0")/zone" && pwd)

alive() { [ -f "$dir/named.pid" ] && kill -0 "$(cat "$dir/named.pid")" 2>/dev/null; }

# Waits until named.log holds N lines matching a pattern, while named lives;
# bounded: 100 tries, 10 s.
wait_log() { # pattern count
  i=0
  while [ "$(grep -c -- "$1" "$dir/named.log" 2>/dev/null)" -lt "$2" ]; do
    alive || return 1
    i=$((i + 1))
    [ $i -le 100 ] || return 1
    sleep 0.1
  done
}

case $cmd in
start)
  netns=${3:-}
  [ -n "$netns" ] || die "start needs the namespace to serve in"
  [ "$(ip netns exec "$netns" readlink /proc/self/ns/net)" != "$(readlink /proc/self/ns/net)" ] ||
    die "$netns is this machine's own network namespace"
  case $dir in *'"'* | *'\'*) die "DIR must not hold '\"' or '\\'" ;; esac
  ! alive || die "a server already runs for $dir"
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  {
    cat <<EOF
options {
  directory "$dir";
  pid-file none;
  managed-keys-directory "$dir";
  session-keyfile none;
  listen-on port 53 { 127.0.0.1; };
  listen-on-v6 { none; };
  recursion no;
  notify no;
  dnssec-validation no;
  empty-zones-enable no;
  querylog yes;
  version none;
  hostname none;
  server-id none;
};
controls { };
logging {
  channel main { file "$dir/named.log"; print-time yes; severity info; };
  channel queries { file "$dir/queries.log"; print-time yes; };
  category default { main; };
  category queries { queries; };
};
EOF
    for z in "$zones"/*.zone; do
      name=$(basename "$z" .zone)
      cp "$z" "$dir/$name.zone"
      printf 'zone "%s" { type primary; file "%s/%s.zone"; };\n' "$name" "$dir" "$name"
    done
  } >"$dir/named.conf"
  : >"$dir/named.log"
  # -4: IPv4 only; -n 1: one worker thread is plenty for a test zone.
  ip netns exec "$netns" named -f -4 -n 1 -c "$dir/named.conf" >"$dir/named.out" 2>&1 &
  echo $! >"$dir/named.pid"
  wait_log ' running$' 1 || die "named did not start: $(tail -n 5 "$dir/named.log" "$dir/named.out")"
  ;;
reload)
  alive || die "no server runs for $dir"
  loaded=$(grep -c ' zone [^ ]*/IN: loaded serial' "$dir/named.log" || true)
  kill -HUP "$(cat "$dir/named.pid")"
  # Each zone file newer than its last load is loaded again.
  wait_log ' zone [^ ]*/IN: loaded serial' $((loaded + 1)) || die "no zone was loaded again: $(tail -n 5 "$dir/named.log")"
  ;;
queries)
  sed -n 's/.* query: \([^ ]* [^ ]* [^ ]*\) .*/\1/p' "$dir/queries.log" 2>/dev/null || true
  ;;
stop)
  if alive; then
    pid=$(cat "$dir/named.pid")
    kill "$pid" 2>/dev/null || true
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/named.pid"
  ;;
*)
  die "unknown command $cmd"
  ;;
esac
