#!/bin/sh
# Private DNS-SD daemons, each in a network namespace of our own, so that no
# multicast packet ever reaches the machine's own network.
#
#   dnssd-netns.sh start DIR [single|pair|wide]  start the daemons; state lives in DIR
#   dnssd-netns.sh env DIR [a|b]             print the environment a client needs
#   dnssd-netns.sh stop-daemon DIR [a|b]     stop one avahi-daemon (its bus stays)
#   dnssd-netns.sh kill-daemon DIR [a|b]     the same with SIGKILL, as when it crashes
#   dnssd-netns.sh start-daemon DIR [a|b]    start it again
#   dnssd-netns.sh stop DIR                  stop everything started, remove the namespaces
#
# single: one namespace holding only loopback (multicast on), with a private
# D-Bus system bus and avahi-daemon.  pair: two namespaces joined by a veth
# pair, each with its own bus, daemon, host name and /run/avahi-daemon.
# wide: single, plus a unicast DNS server for zrk.test (scripts/dns-server.sh,
# state in DIR/dns) on the namespace's 127.0.0.1; the daemon browses by
# unicast DNS (enable-wide-area) through that server alone, and takes zrk.test
# as a browse domain, both from a resolv.conf of its own.
# Clients reach a daemon through its bus socket (DBUS_SYSTEM_BUS_ADDRESS), a
# file path that works from any namespace.
set -eu

die() { echo "dnssd-netns: $*" >&2; exit 1; }
scripts=$(cd "$(dirname "$0")" && pwd)

[ "$(id -u)" = 0 ] || die "needs root"
cmd=${1:-}; dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || die "usage: $0 start|stop|env|stop-daemon|kill-daemon|start-daemon DIR [...]"

# Namespace names carry our own process-unique tag, kept in DIR.
tag() { cat "$dir/tag"; }
ns() { echo "zrkdnssd-$(tag)-$1"; }

wait_for() { # what, then a command; bounded: 100 tries, 10 s
  what=$1; shift
  i=0
  while ! "$@" >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -le 100 ] || return 1
    sleep 0.1
  done
}

alive() { [ -f "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

start_bus() { # host
  h=$1
  cat >"$dir/$h/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/$h/bus.sock</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
  ip netns exec "$(ns "$h")" dbus-daemon --config-file="$dir/$h/bus.conf" --nofork --nopidfile \
    >"$dir/$h/bus.log" 2>&1 &
  echo $! >"$dir/$h/bus.pid"
  wait_for "bus" test -S "$dir/$h/bus.sock" || die "bus of $h did not start"
}

start_daemon() { # host
  h=$1
  iface=lo
  [ "$(cat "$dir/mode")" = pair ] && iface=veth-$h
  wide_area=no; resolv=""
  if [ "$(cat "$dir/mode")" = wide ]; then
    # Only our own DNS server: this file is mounted over /etc/resolv.conf in
    # the daemon's private mount namespace, never over the machine's.
    wide_area=yes; resolv=$dir/$h/resolv.conf
    printf 'nameserver 127.0.0.1\nsearch zrk.test\n' >"$resolv"
  fi
  cat >"$dir/$h/avahi.conf" <<EOF
[server]
host-name=zrk-$h
domain-name=local
use-ipv4=yes
use-ipv6=no
allow-interfaces=$iface
enable-dbus=yes
ratelimit-interval-usec=0
[wide-area]
enable-wide-area=$wide_area
[publish]
publish-addresses=yes
publish-hinfo=no
publish-workstation=no
publish-domain=no
[reflector]
enable-reflector=no
EOF
  # Its own /run/avahi-daemon (pid file, socket): a tmpfs in the private
  # mount namespace that "ip netns exec" gives each command.
  mkdir -p /run/avahi-daemon
  # A restarted daemon must not be taken as started on the last one's line.
  : >"$dir/$h/avahi.log"
  DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/$h/bus.sock" \
    ip netns exec "$(ns "$h")" sh -c 'mount -t tmpfs zrkdnssd /run/avahi-daemon &&
      { [ -z "$2" ] || mount --bind "$2" /etc/resolv.conf; } && exec avahi-daemon \
      --no-drop-root --no-chroot --no-rlimits --no-proc-title -f "$1"' avahi "$dir/$h/avahi.conf" "$resolv" \
    >"$dir/$h/avahi.log" 2>&1 &
  echo $! >"$dir/$h/avahi.pid"
  wait_for "daemon" grep -q "Server startup complete" "$dir/$h/avahi.log" || die "avahi-daemon of $h did not start"
  # Clients find the daemon by its bus name, taken a little later.
  wait_for "bus name" daemon_on_bus "$h" || die "avahi-daemon of $h is not on its bus"
}

daemon_on_bus() { # host
  DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/$1/bus.sock" dbus-send --system --print-reply \
    --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Avahi |
    grep -q "boolean true"
}

stop_pid() { # pid file [signal]
  if alive "$1"; then
    pid=$(cat "$1")
    kill -s "${2:-TERM}" "$pid" 2>/dev/null || true
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$1"
}

hosts() { if [ "$(cat "$dir/mode")" = pair ]; then echo a b; else echo a; fi; }

case $cmd in
start)
  mode=${3:-single}
  [ "$mode" = single ] || [ "$mode" = pair ] || [ "$mode" = wide ] || die "mode is single, pair or wide"
  mkdir -p "$dir"
  [ ! -f "$dir/tag" ] || die "$dir is in use; stop it first"
  echo $$ >"$dir/tag"
  echo "$mode" >"$dir/mode"
  trap '"$0" stop "$dir" >/dev/null 2>&1' EXIT
  for h in $(hosts); do
    mkdir -p "$dir/$h"
    ip netns add "$(ns "$h")"
    echo "$(ns "$h")" >>"$dir/namespaces"
    ip -n "$(ns "$h")" link set lo multicast on
    ip -n "$(ns "$h")" link set lo up
  done
  if [ "$mode" = pair ]; then
    ip link add veth-a netns "$(ns a)" type veth peer name veth-b netns "$(ns b)"
    ip -n "$(ns a)" addr add 169.254.77.1/24 dev veth-a
    ip -n "$(ns b)" addr add 169.254.77.2/24 dev veth-b
    ip -n "$(ns a)" link set veth-a multicast on up
    ip -n "$(ns b)" link set veth-b multicast on up
  fi
  [ "$mode" != wide ] || sh "$scripts/dns-server.sh" start "$dir/dns" "$(ns a)"
  for h in $(hosts); do
    start_bus "$h"
    start_daemon "$h"
  done
  trap - EXIT
  ;;
env)
  h=${3:-a}
  echo "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/$h/bus.sock"
  ;;
stop-daemon)
  stop_pid "$dir/${3:-a}/avahi.pid"
  ;;
kill-daemon)
  stop_pid "$dir/${3:-a}/avahi.pid" KILL
  ;;
start-daemon)
  start_daemon "${3:-a}"
  ;;
stop)
  [ -f "$dir/tag" ] || exit 0
  for h in b a; do
    stop_pid "$dir/$h/avahi.pid"
    stop_pid "$dir/$h/bus.pid"
  done
  [ ! -d "$dir/dns" ] || sh "$scripts/dns-server.sh" stop "$dir/dns"
  if [ -f "$dir/namespaces" ]; then
    while read -r n; do ip netns del "$n" 2>/dev/null || true; done <"$dir/namespaces"
  fi
  rm -rf "${dir:?}/a" "${dir:?}/b" "${dir:?}/dns" "$dir/tag" "$dir/mode" "$dir/namespaces"
  ;;
*)
  die "unknown command $cmd"
  ;;
esac
