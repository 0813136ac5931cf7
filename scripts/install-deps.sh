#!/bin/sh
# Installs, as root on Debian 12, the packages the build and the tests need;
# asks the package index only when something is missing.  Daemons installed
# here are never started: they run only inside namespaces the tests make.
set -eu
packages="g++ cmake ninja-build pkg-config binutils python3 libglib2.0-dev libgtest-dev libcli11-dev
  libavahi-compat-libdnssd1 libavahi-compat-libdnssd-dev
  avahi-daemon avahi-utils dbus-daemon dbus-bin iproute2 bind9
  clang libclang-rt-14-dev llvm"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -n "$missing" ] || exit 0
echo "installing:$missing"

# Debian's way of telling package scripts not to start services.
guard=""
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
  chmod +x /usr/sbin/policy-rc.d
  guard=/usr/sbin/policy-rc.d
fi
daemons() { pgrep -x avahi-daemon || true; pgrep -x named || true; }
before=$(daemons)
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing
[ -z "$guard" ] || rm -f "$guard"

# Should a package script have started a daemon in this namespace anyway, it
# is ours to stop: its multicast, or a DNS server's traffic, must not reach
# this machine's network.
# The namespace this script runs in (PID 1's links may be unreadable).
root_ns=$(readlink /proc/self/ns/net)
for pid in $(daemons); do
  case " $before " in *" $pid "*) continue ;; esac
  if [ "$(readlink "/proc/$pid/ns/net")" = "$root_ns" ]; then
    echo "stopping $(cat "/proc/$pid/comm" 2>/dev/null) $pid started by the install" >&2
    kill "$pid"
  fi
done
