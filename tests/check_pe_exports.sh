#!/bin/sh
# The Windows plug-in must be a DLL of the given PE format (pei-i386 for the
# shipped 32-bit one) that exports REALPluginMain, under that plain name, and
# nothing else, and imports only DLLs every Windows system has: the
# compiler's runtime is linked in.
# usage: check_pe_exports.sh OBJDUMP DLL FORMAT
set -eu
objdump=$1
dll=$2
format=$3
dump=$("$objdump" -p "$dll")

if ! printf '%s\n' "$dump" | grep -q "file format $format\$"; then
  echo "$dll is not of format $format:"; printf '%s\n' "$dump" | grep 'file format'; exit 1
fi
if ! printf '%s\n' "$dump" | grep -q '^Characteristics' ||
   ! printf '%s\n' "$dump" | sed -n '/^Characteristics/,/^$/p' | grep -q 'DLL'; then
  echo "$dll is not a DLL"; exit 1
fi

# Export names are the lines "[   n] name" after the name pointer table's
# heading.
exports=$(printf '%s\n' "$dump" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
if [ "$exports" != "REALPluginMain" ]; then
  echo "exports of $dll:"; echo "$exports"; exit 1
fi

imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
status=0
for name in $imports; do
  case $name in
    kernel32.dll|user32.dll|ws2_32.dll|msvcrt.dll|advapi32.dll) ;;
    *) echo "$dll imports $name, which is not a system DLL"; status=1 ;;
  esac
done
[ "$status" -eq 0 ] || exit 1
echo "exports: REALPluginMain only; imports:" $imports
