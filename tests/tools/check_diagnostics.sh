#!/bin/sh
# Checks xmlc's diagnostics of one case, in text, JSON and SARIF, against the
# expected renderings beside it, which the Linux build gives. The same files
# judge xmlc.exe under Wine: both give the same messages.
# Usage: check_diagnostics.sh CASE_DIR OUT_DIR XMLC [LAUNCHER...]
set -eu
cases=$1 out=$2 xmlc=$3
shift 3
rm -rf "$out" && mkdir -p "$out"
status=0
for format in text json sarif; do
  code=0
  # Every worker the machine has: the output keeps the inputs' order.
  (cd "$cases" && "$@" "$xmlc" check --diagnostics-format=$format \
    skin.xml broken.xml entity.xml unclosed.xml quote.xml ampersand.xml quote-attrs.xml \
    comment.xml indent.xml declared-1252.xml empty.xml only-comment.xml pannel.xml \
    directive.xml unbound.xml) \
    2> "$out/$format.raw" > /dev/null || code=$?
  # The batch summary's time is the one thing that differs from run to run.
  sed -E 's/ in [0-9]+\.[0-9]+ s$/ in T s/' "$out/$format.raw" > "$out/$format"
  if [ "$code" -ne 1 ]; then
    echo "DIFFERENT: $format: exit status $code, not 1"
    status=1
  elif diff -u "$cases/expected.$format" "$out/$format"; then
    echo "same diagnostics: $format"
  else
    echo "DIFFERENT: $format"
    status=1
  fi
done
# An unsaved buffer piped in, named as the editor names it.
(cd "$cases" && "$@" "$xmlc" check --stdin-filename=layouts/skin.xml - < skin.xml) \
  2> "$out/stdin" > /dev/null
if head -n 1 "$out/stdin" | tr -d '\r' | grep -q '^layouts/skin.xml:7:5: warning: '; then
  echo "same diagnostics: standard input named by --stdin-filename"
else
  echo "DIFFERENT: standard input: $(head -n 1 "$out/stdin")"
  status=1
fi
exit $status
