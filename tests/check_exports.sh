#!/bin/sh
# The plug-in file must export REALPluginMain and nothing else.
exports=$(nm -D --defined-only "$1" | awk '{print $3}' | sort)
if [ "$exports" != "REALPluginMain" ]; then
  echo "exports of $1:"; echo "$exports"; exit 1
fi
echo "exports: REALPluginMain only"
