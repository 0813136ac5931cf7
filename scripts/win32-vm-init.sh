#!/bb/busybox sh
# /init of the virtual machine that win32-vm.sh boots: mounts the host's /usr
# and /etc read-only, the source tree read-only and the build tree
# read-write, all over 9p at the host's own paths, so that the guest runs the
# very Wine, cmake and ctest installed on the host; then runs wine-suite.sh on
# the 32-bit tree and powers off.  The host's settings come in /vm.conf:
# top (source tree), tree (build tree), vmdir (this VM's folder inside tree),
# wineboot_timeout and ctest_timeout (seconds).
#
# The kernel writes to the first serial port (a log file on the host); what
# the suite prints goes to the second, the host's standard output.  The
# result is the file $vmdir/status, the suite's exit status: the host takes
# its absence as a failure.
# shellcheck disable=SC1091,SC2154  # the settings come from /vm.conf
bb=/bb/busybox
. /vm.conf

$bb mount -t proc proc /proc
$bb mount -t sysfs sys /sys
$bb mount -t devtmpfs dev /dev
exec >/dev/ttyS1 2>&1 </dev/null
# The host reads this port as a text stream.
$bb stty -F /dev/ttyS1 -onlcr 2>/dev/null || true

halt() {
  $bb sync
  $bb poweroff -f
  # Should power-off fail, the kernel panics at init's end and, with panic=1
  # and QEMU's -no-reboot, the VM stops all the same.
  exit 1
}
fail() {
  echo "vm: $*"
  halt
}

up=$($bb cut -d' ' -f1 /proc/uptime)
echo "vm: kernel up after $up s"

# Modules in dependency order, as the host resolved them.
for m in $($bb cat /modules/order); do
  $bb insmod "/modules/$m.ko" || fail "cannot load module $m"
done

# cache=loose: without it, reads of Wine's DLLs could come back short and
# load zeroed code.
share() { # tag dir ro|rw
  $bb mkdir -p "$2" 2>/dev/null || true
  tries=0
  until $bb mount -t 9p -o "trans=virtio,version=9p2000.L,cache=loose,msize=512000,$3" "$1" "$2"; do
    tries=$((tries + 1))
    [ "$tries" -lt 10 ] || fail "cannot mount the host's $2"
    $bb sleep 0.5
  done
}
# The guest's own /tmp first: the trees may lie below it.
$bb mount -t tmpfs -o mode=1777 tmp /tmp
$bb mkdir -p /dev/shm /dev/pts
$bb mount -t tmpfs -o mode=1777 shm /dev/shm
$bb mount -t devpts devpts /dev/pts
share usr /usr ro
share etc /etc ro
share src "$top" ro
share build "$tree" rw
# The scripted DNS-SD library's socket pairs are loopback connections.
$bb ip link set lo up || fail "cannot bring up loopback"

export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin
# TERM: the console is a serial line the host logs; no colours.
export HOME=/root LANG=C.UTF-8 TERM=dumb
export ZRK_WINEBOOT_TIMEOUT="$wineboot_timeout" ZRK_CTEST_TIMEOUT="$ctest_timeout"
echo "vm: running the 32-bit suite"
status=0
/usr/bin/sh "$top/scripts/wine-suite.sh" "$tree" win32 /tmp/wine || status=$?
for f in times wineboot.log wineserver.log; do
  [ ! -f "/tmp/wine/$f" ] || $bb cp "/tmp/wine/$f" "$vmdir/$f"
done
echo "boot=${up%.*}" >>"$vmdir/times"
echo "$status" >"$vmdir/status"
$bb sync
$bb umount "$tree" || true
halt
