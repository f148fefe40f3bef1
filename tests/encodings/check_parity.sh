#!/bin/bash
# The Windows code pages read the same on this system as under Windows.
# EXPECTED holds what Windows gave (made by `make_expected.sh` under Wine):
# the handler's map of every code page, and xmlc's errors for the documents
# of refused bytes. This system's maps must equal them; a document holding
# every character of a map must compile to the bytes of its UTF-8 twin; and
# each refused byte must give the same error at the same place.
# Usage: check_parity.sh EXPECTED OUT ENCODING_TABLE XMLC [LAUNCHER...]
set -u
expected=$1 out=$2 table=$3
xmlc=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")  # started from another folder
shift 4
launch=("$@")
rm -rf "$out" && mkdir -p "$out/maps" "$out/docs"
status=0
bad() { echo "FAILED: $*"; status=1; }

# 1. The maps, byte sequence by byte sequence.
"${launch[@]}" "$table" map "$out/maps" || { echo "FAILED: encoding_table map"; exit 1; }
for map in "$expected"/*.map; do
  name=$(basename "$map")
  if cmp -s "$map" "$out/maps/$name"; then
    echo "ok: same reading: $(head -n 1 "$map" | cut -c3-) ($name)"
  else
    bad "$(head -n 1 "$map" | cut -c3-) ($name) reads differently:"
    diff "$map" "$out/maps/$name" | head -n 20
  fi
done
[ "$(ls "$out/maps" | wc -l)" = "$(ls "$expected"/*.map | wc -l)" ] ||
  bad "the handler knows other code pages than $expected"

# 2. Every character of each code page, compiled against its UTF-8 twin.
"${launch[@]}" "$table" documents "$expected" "$out/docs" || { echo "FAILED: encoding_table documents"; exit 1; }
pages=()
for map in "$expected"/*.map; do pages+=("$(basename "$map" .map)"); done
(cd "$out/docs" && "${launch[@]}" "$xmlc" compile -d compiled "${pages[@]/%/.xml}" "${pages[@]/%/.utf8.xml}") ||
  bad "the documents of every character did not all compile"
for page in "${pages[@]}"; do
  if [ -s "$out/docs/compiled/$page.xmlc" ] && cmp -s "$out/docs/compiled/$page.xmlc" "$out/docs/compiled/$page.utf8.xmlc"; then
    echo "ok: every character of code page $page compiles as its UTF-8"
  else
    bad "code page $page does not compile as its UTF-8"
  fi
done

# 3. Each refused byte: the same error, at the same place, as under Windows.
mapfile -t refused < "$out/docs/refused.list"
(cd "$out/docs" && "${launch[@]}" "$xmlc" check "${refused[@]}") > /dev/null 2> "$out/check.err"
code=$?
[ $code -eq 1 ] || bad "xmlc check of the refused bytes exited $code, not 1"
grep -a ': error: ' "$out/check.err" | tr -d '\r' | LC_ALL=C sort > "$out/refused.txt"
if cmp -s "$expected/refused.txt" "$out/refused.txt"; then
  echo "ok: ${#refused[@]} refused bytes give Windows' errors"
else
  bad "the refused bytes' errors differ from Windows':"
  diff "$expected/refused.txt" "$out/refused.txt" | head -n 20
fi
missing=0
for f in "${refused[@]}"; do grep -q "^$f:2:" "$out/refused.txt" || missing=$((missing + 1)); done
[ $missing -eq 0 ] || bad "$missing refused documents have no error on line 2"

[ $status -eq 0 ] && echo "encoding parity: all checks passed"
exit $status
