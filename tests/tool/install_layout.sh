#!/bin/sh
# cmake --install puts the tool, its plug-in and the documents in place, and
# the installed tool, away from its build folder, finds the plug-in from the
# install layout.
#   install_layout.sh BUILD_DIR
set -eu
build=$1
dest=$(mktemp -d /tmp/zrk-install.XXXXXX)
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$dest" >"$dest/install.log"
tool=$dest/bin/zrk-dnssd
[ -x "$tool" ] || fail "no $tool"
plugin=$(find "$dest" -name libzrkdnssd.so)
[ -n "$plugin" ] || fail "no plug-in installed: $(cat "$dest/install.log")"
[ "$(dirname "$plugin")" != "$dest/bin" ] || fail "the plug-in went beside the tool"
for doc in README.md reference.md; do
  [ -f "$dest/share/doc/zrk-dnssd/$doc" ] || fail "$doc not installed"
done
"$tool" classes >"$dest/classes.txt" || fail "the installed tool failed: $(cat "$dest/classes.txt")"
grep -q '^class TXTRecordZRK ' "$dest/classes.txt" || fail "the installed tool printed no classes"
echo "installed: $(cd "$dest" && find . -type f ! -name '*.txt' ! -name '*.log' | sort | tr '\n' ' ')"
