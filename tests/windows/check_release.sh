#!/bin/sh
# Checks the shipped DLL against the one it was made from: no debug
# sections, a .gnu_debuglink to deva3201.dll.debug beside it, which holds the
# debug information; the same exports, imports and version resource.
set -eu
release=$1
built=$2
dir=$(dirname "$release")
debug=$dir/deva3201.dll.debug
sections() { i686-w64-mingw32-objdump -h "$1" | awk '$1 ~ /^[0-9]+$/ { print $2 }'; }
fail() { echo "check_release: $*" >&2; exit 1; }

[ -e "$debug" ] || fail "no $debug"
! sections "$release" | grep -q '^\.debug_' || fail "the release DLL still has debug sections"
sections "$release" | grep -qx '\.gnu_debuglink' || fail "the release DLL has no .gnu_debuglink"
i686-w64-mingw32-objdump -s -j .gnu_debuglink "$release" | grep -q 'deva3201.dll.deb' ||
  fail "the debug link does not name deva3201.dll.debug"
sections "$debug" | grep -qx '\.debug_info' || fail "$debug holds no debug information"
[ "$(wc -c < "$release")" -lt "$(($(wc -c < "$built") / 4))" ] ||
  fail "the release DLL is not much smaller than the built one"

# What the framework sees is unchanged: exports, imports, version resource.
exports() { i686-w64-mingw32-objdump -p "$1" | sed -n '/^The Export Tables/,/^$/p;/DLL Name:/p' | grep -v "Time/Date"; }
[ "$(exports "$release")" = "$(exports "$built")" ] || fail "the export or import tables differ"
[ "$(i686-w64-mingw32-windres -i "$release" -O rc)" = "$(i686-w64-mingw32-windres -i "$built" -O rc)" ] ||
  fail "the version resources differ"
echo "release DLL: $(wc -c < "$release") bytes, debug information $(wc -c < "$debug") bytes"
