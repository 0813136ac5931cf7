#!/bin/sh
# Runs the test suite of the 32-bit Windows build under wine32 inside a small
# virtual machine, for machines whose kernel runs no 32-bit code.  The guest
# is Debian's own kernel (only unpacked, never installed) with a busybox
# initramfs; it mounts this machine's /usr and /etc read-only over 9p and so
# runs the Wine, cmake and ctest installed here (see win32-vm-init.sh).
#
# QEMU emulates the processor (TCG): /dev/kvm is not used, as on some
# machines of this kind it boots no ordinary kernel.  SMAP is off because
# the guest kernel crashed on Wine's 32-bit code with it on.  The VM has no
# network device at all and QEMU no monitor, display or other listener; it
# is stopped by its PID, and its whole run is bounded in time.
#
# usage: win32-vm.sh TREE      (as root on Debian 12; installs what it needs)
#   TREE  the 32-bit build tree, inside the source tree; VM files go to TREE/vm
# Bounds, in seconds: ZRK_WIN32_VM_TIMEOUT the VM's whole run (default
# 2400); inside the guest ZRK_WINEBOOT_TIMEOUT wineboot (1200) and
# ZRK_CTEST_TIMEOUT each test without a time limit of its own (300).
# Exits with the suite's status, or 1 when the VM did not bring one back.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
tree=$(cd "$1" && pwd)
vm=$tree/vm
case $top in
  *\'* | *'
'*) echo "win32-vm: a source path with a quote or a newline is not supported: $top"; exit 1 ;;
esac
limit=${ZRK_WIN32_VM_TIMEOUT:-2400}
mkdir -p "$vm"

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
missing=
for p in qemu-system-x86 busybox-static binutils; do
  installed "$p" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

# The guest kernel: the image linux-image-amd64 currently points at, unpacked
# once into TREE/vm/kernel-VERSION with the modules 9p over virtio needs.
# The package index is refreshed when it names no image or one no longer
# to be had.
kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1
}
kpkg=$(kernel_package)
[ -n "$kpkg" ] || { apt-get update -qq; kpkg=$(kernel_package); }
[ -n "$kpkg" ] || { echo "win32-vm: no kernel package behind linux-image-amd64"; exit 1; }
kver=${kpkg#linux-image-}
kdir=$vm/kernel-$kver
if [ ! -f "$kdir/ready" ]; then
  rm -rf "$kdir" "$vm/unpack"
  mkdir -p "$vm/unpack"
  if ! (cd "$vm/unpack" && apt-get download -q "$kpkg"); then
    apt-get update -qq
    kpkg=$(kernel_package)
    kver=${kpkg#linux-image-}
    kdir=$vm/kernel-$kver
    rm -rf "$kdir"
    (cd "$vm/unpack" && apt-get download -q "$kpkg")
  fi
  dpkg-deb -x "$vm/unpack/$kpkg"_*.deb "$vm/unpack/root"
  mkdir -p "$kdir/modules"
  cp "$vm/unpack/root/boot/vmlinuz-$kver" "$kdir/vmlinuz"
  moddir=$vm/unpack/root/lib/modules/$kver
  [ -d "$moddir" ] || moddir=$vm/unpack/root/usr/lib/modules/$kver
  # Each module after the ones it depends on (its .modinfo "depends=").
  : >"$kdir/modules/order"
  module_file() {
    find "$moddir" \( -name "$1.ko" -o -name "$(echo "$1" | tr _ -).ko" \) | head -n 1
  }
  add_module() {
    ! grep -qxF "$1" "$kdir/modules/order" || return 0
    [ -n "$(module_file "$1")" ] || { echo "win32-vm: kernel $kver has no module $1"; exit 1; }
    for dep in $(objcopy -O binary --only-section=.modinfo "$(module_file "$1")" /dev/stdout |
                 tr '\0' '\n' | sed -n 's/^depends=//p' | tr ',' ' '); do
      add_module "$dep"
    done
    cp "$(module_file "$1")" "$kdir/modules/$1.ko"
    echo "$1" >>"$kdir/modules/order"
  }
  for m in virtio_pci 9pnet_virtio 9p; do
    add_module "$m"
  done
  rm -rf "$vm/unpack"
  touch "$kdir/ready"
fi

# The initramfs, made anew each run: it carries this run's paths.
root=$vm/initramfs
rm -rf "$root"
mkdir -p "$root/bb" "$root/proc" "$root/sys" "$root/dev" "$root/usr" "$root/etc" \
  "$root/tmp" "$root/root" "$root/modules"
cp /bin/busybox "$root/bb/busybox"
cp "$top/scripts/win32-vm-init.sh" "$root/init"
chmod 755 "$root/init"
cp "$kdir/modules/"* "$root/modules/"
# Debian's merged /usr: these resolve once the host's /usr is mounted.
for d in bin sbin lib lib32 lib64 libx32; do
  ln -s "usr/$d" "$root/$d"
done
cat >"$root/vm.conf" <<EOF
top='$top'
tree='$tree'
vmdir='$vm'
wineboot_timeout=${ZRK_WINEBOOT_TIMEOUT:-1200}
ctest_timeout=${ZRK_CTEST_TIMEOUT:-300}
EOF
(cd "$root" && find . | sort | busybox cpio -o -H newc 2>/dev/null) | gzip -1 >"$vm/initramfs.gz"
rm -rf "$root"

rm -f "$vm/status" "$vm/times"
qemu=
stop_vm() {
  [ -n "$qemu" ] || return 0
  if kill -0 "$qemu" 2>/dev/null; then
    kill -TERM "$qemu" 2>/dev/null || true
    tries=0
    while kill -0 "$qemu" 2>/dev/null && [ "$tries" -lt 40 ]; do
      sleep 0.25
      tries=$((tries + 1))
    done
    kill -KILL "$qemu" 2>/dev/null || true
  fi
  wait "$qemu" 2>/dev/null || true
  qemu=
  rm -f "$vm/qemu.pid"
}
trap stop_vm EXIT
trap 'exit 130' INT TERM

# QEMU reads a comma in a path as ",,".
opt_path() {
  printf '%s' "$1" | sed 's/,/,,/g'
}
share() { # tag path [readonly]
  printf '%s\n' "-virtfs" \
    "local,path=$(opt_path "$2"),mount_tag=$1,security_model=none,multidevs=remap${3:+,readonly=on}"
}
start=$(date +%s)
# One option a line: the paths may hold spaces, none holds a newline.
{
  printf '%s\n' -nodefaults -no-user-config -no-reboot \
    -accel tcg -cpu max,-smap -smp 2 -m 4096 \
    -nic none -display none -monitor none \
    -kernel "$kdir/vmlinuz" -initrd "$vm/initramfs.gz" \
    -append "console=ttyS0 panic=1 mitigations=off" \
    -serial "file:$(opt_path "$vm/console.log")" -serial stdio
  share usr /usr ro
  share etc /etc ro
  share src "$top" ro
  share build "$tree"
} >"$vm/qemu.args"
(
  IFS='
'
  # shellcheck disable=SC2046
  exec qemu-system-x86_64 $(cat "$vm/qemu.args") </dev/null
) &
qemu=$!
echo "$qemu" >"$vm/qemu.pid"

while kill -0 "$qemu" 2>/dev/null && [ $(($(date +%s) - start)) -lt "$limit" ]; do
  sleep 1
done
if kill -0 "$qemu" 2>/dev/null; then
  echo "win32-vm: the VM ran past its limit of $limit s; stopping it"
fi
stop_vm
elapsed=$(($(date +%s) - start))
echo "vm=$elapsed" >>"$vm/times"

if [ ! -s "$vm/status" ]; then
  echo "win32-vm: the VM stopped after $elapsed s without finishing the suite; the end of its kernel's log:"
  tail -n 40 "$vm/console.log" 2>/dev/null || true
  exit 1
fi
exit "$(cat "$vm/status")"
