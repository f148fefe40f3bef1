#!/bin/bash
# Makes what check_parity.sh compares with, from a Windows build run under
# Wine (the `wine` on PATH): the handler's map of every Windows code page and
# xmlc.exe's errors for the documents of refused bytes, in tests/encodings/windows.
# Usage: make_expected.sh WIN32_BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
expected=$here/windows
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -f "$expected"/*.map "$expected/refused.txt"
mkdir -p "$expected"
wine "$build/tests/encoding_table.exe" map "$expected"
wine "$build/tests/encoding_table.exe" documents "$expected" "$work"
mapfile -t refused < "$work/refused.list"
(cd "$work" && wine "$build/bin/xmlc.exe" check "${refused[@]}") > /dev/null 2> "$work/check.err" || true
grep -a ': error: ' "$work/check.err" | tr -d '\r' | LC_ALL=C sort > "$expected/refused.txt"
echo "made $(ls "$expected"/*.map | wc -l) maps and $(wc -l < "$expected/refused.txt") errors in $expected"
