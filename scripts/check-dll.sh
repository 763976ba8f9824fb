#!/usr/bin/env bash
# Checks the shipped module as a host client sees it: a PE32 i386 DLL exporting
# exactly zanConf, zanCred, zanInfo and zanInit, each returning with "ret $0x10"
# (stdcall: the callee removes its four 32-bit arguments).
set -euo pipefail
dll=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

fail() { echo "FAIL: $*"; exit 1; }

"$objdump" -f "$dll" | grep -q 'file format pei-i386' || fail "not a PE32 i386 image"
headers=$("$objdump" -p "$dll")
base=$(awk '/^ImageBase/ {print $2}' <<<"$headers")
# The name is the last column: binutils 2.44 (Debian 13) adds ordinal and hint.
mapfile -t names < <(awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^[ \t]*\[/ {print $NF} t && /^[ \t]*$/ {t=0}' <<<"$headers")
mapfile -t rvas < <(awk '/Export RVA/ {print $5}' <<<"$headers")
[ "${names[*]}" = "zanConf zanCred zanInfo zanInit" ] || fail "exports are '${names[*]}'"
[ ${#rvas[@]} -eq 4 ] || fail "${#rvas[@]} exported addresses"

for i in "${!names[@]}"; do
  start=$((0x$base + 0x${rvas[$i]}))
  ret=$("$objdump" -d --start-address=$start --stop-address=$((start + 0x400)) "$dll" |
        grep -m1 -E '[[:space:]]ret' || true)
  grep -qE 'ret +[$]0x10$' <<<"$ret" || fail "${names[$i]} returns with '$ret'"
done
echo "dravlin.dll: PE32 i386, exports ${names[*]}, each stdcall with 16 bytes of arguments"
