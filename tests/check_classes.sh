#!/bin/sh
# The command-line host prints the classes exactly as declared.
set -eu
"$1" classes | diff -u "$2" -
echo "classes: as declared"
