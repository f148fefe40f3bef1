#!/bin/sh
# Validates xmlc's SARIF log of the held documents (and a few made here: the
# fuzz seeds, a missing file) with Microsoft's SARIF validator, as a code
# scanning service would read it: no error, no warning. Exits 77 (skipped)
# when no validator is configured.
# Usage: check_sarif.sh VALIDATOR XMLC OUT_DIR SOURCE_DIR
set -eu
validator=$1 xmlc=$2 out=$3 source=$4
if [ -z "$validator" ] || [ ! -x "$validator" ]; then
  echo "skipped: no SARIF validator; scripts/sarif-validator installs it, and" \
       "OXA_SARIF_VALIDATOR names it to CMake"
  exit 77
fi
rm -rf "$out" && mkdir -p "$out"
sh "$source/fuzz/make_seeds.sh" "$out/seeds" > /dev/null
# -Werror=text-dropped: results of both levels.
"$xmlc" check -j 2 --diagnostics-format=sarif -Werror=text-dropped \
  "$source"/tests/tools/diagnostics/*.xml "$source"/tests/golden/*.xml "$source"/examples/*.xml \
  "$source"/tests/install/layouts/*.xml "$out"/seeds/*.xml "$out/missing.xml" \
  2> "$out/xmlc.sarif" > /dev/null || true
results=$(grep -c '"ruleId": "XMLC' "$out/xmlc.sarif" || true)
DOTNET_SYSTEM_GLOBALIZATION_INVARIANT=1 "$validator" validate "$out/xmlc.sarif" \
  -o "$out/validation.sarif" > "$out/validator.log" 2>&1 || true
if ! grep -q "Analysis completed successfully" "$out/validator.log"; then
  echo "the validator did not complete:"
  cat "$out/validator.log"
  exit 1
fi
errors=$(grep -cE ': error [A-Z]+[0-9]+:' "$out/validator.log" || true)
warnings=$(grep -cE ': warning [A-Z]+[0-9]+:' "$out/validator.log" || true)
echo "a log of $results results: $errors errors, $warnings warnings"
grep -E ': (error|warning) [A-Z]+[0-9]+:' "$out/validator.log" || true
[ "$results" -gt 20 ] && [ "$errors" -eq 0 ] && [ "$warnings" -eq 0 ]
