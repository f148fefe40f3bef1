#!/bin/sh
# Checks the DLL's export table (names, ordinals, library name) and that it
# imports only system DLLs, no MinGW runtime.
set -eu
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
echo "$dump" | grep -q "^Name.*deva3201.dll" || { echo "library name is not deva3201.dll"; exit 1; }
echo "$dump" | grep -qE "^Ordinal Base[[:space:]]+1$" || { echo "ordinal base is not 1"; exit 1; }
# The name table lists each name with its ordinal index: ordinal = index + base.
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '\[ *[0-9]+\]')
echo "$exports"
for pair in "0 OxaCreateInstance" "1 OxaShutdown" "2 SetDLLAccessPath"; do
  set -- $pair
  echo "$exports" | grep -qE "\[ *$1\] $2\$" || { echo "ordinal $(($1 + 1)) is not $2"; exit 1; }
done
[ "$(echo "$exports" | wc -l)" -eq 3 ] || { echo "more than three exports"; exit 1; }
imports=$(echo "$dump" | grep "DLL Name:" | awk '{print tolower($3)}' | sort -u)
echo "imports:" $imports
for dllName in $imports; do
  case "$dllName" in
    kernel32.dll|user32.dll|msvcrt.dll|advapi32.dll|api-ms-win-*) ;;
    *) echo "unexpected import $dllName"; exit 1 ;;
  esac
done
