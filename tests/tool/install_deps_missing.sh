#!/bin/sh
# scripts/install-deps.sh with one package reported missing: it installs
# exactly that one, with Debian's guard against starting services in place
# during the install and gone after it; with nothing missing it asks the
# package index nothing.  The package tools are stand-ins on PATH, and the
# script runs in a mount namespace of its own with a private /usr/sbin, so
# the machine itself is not touched.
#   install_deps_missing.sh SCRIPTS
set -eu
scripts=$1
work=$(mktemp -d /tmp/zrk-deps.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
for last; do :; done
if [ "$last" = "${ZRK_MISSING:-}" ]; then echo "unknown ok not-installed"; exit 1; fi
echo "install ok installed"
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$ZRK_LOG"
if [ -x /usr/sbin/policy-rc.d ]; then
  status=0; /usr/sbin/policy-rc.d || status=$?
  echo "policy-rc.d answers $status" >>"$ZRK_LOG"
fi
STUB
printf '#!/bin/sh\nexit 1\n' >"$work/bin/pgrep"
chmod +x "$work/bin/dpkg-query" "$work/bin/apt-get" "$work/bin/pgrep"

run() { # missing-package
  : >"$work/log"
  ZRK_MISSING=$1 ZRK_LOG=$work/log PATH="$work/bin:$PATH" unshare --mount sh -c '
    mount -t tmpfs zrk-deps-test /usr/sbin
    sh "$1/install-deps.sh" >"$2/out" 2>&1 || { echo "install-deps.sh failed: $(cat "$2/out")"; exit 1; }
    [ ! -e /usr/sbin/policy-rc.d ] || { echo "policy-rc.d left behind"; exit 1; }' sh "$scripts" "$work"
}

run libcli11-dev || fail "with libcli11-dev missing"
expected="apt-get update -qq
policy-rc.d answers 101
apt-get install -y -qq --no-install-recommends libcli11-dev
policy-rc.d answers 101"
[ "$(cat "$work/log")" = "$expected" ] || fail "with libcli11-dev missing, the package tools saw:
$(cat "$work/log")"
grep -q '^installing: libcli11-dev$' "$work/out" || fail "output: $(cat "$work/out")"

run "" || fail "with nothing missing"
[ ! -s "$work/log" ] || fail "with nothing missing, apt-get ran: $(cat "$work/log")"
echo "install-deps.sh: one missing package installed alone, guarded; nothing missing, nothing asked"
