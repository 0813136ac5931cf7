#!/bin/sh
# Installs, as root on Debian 12, the packages the build and the tests need;
# asks the package index only when something is missing.
set -eu
packages="g++ cmake ninja-build pkg-config binutils libglib2.0-dev libgtest-dev
  libavahi-compat-libdnssd1 libavahi-compat-libdnssd-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi
