#!/bin/sh
# Runs the Windows test host under Wine over the recorded event streams and
# compares every compiled document with the Linux build's golden bytes.
set -eu
host=$1 dll=$2 out=$3 golden=$4
rm -rf "$out" && mkdir -p "$out"
wine "$host" "$dll" "$(winepath -w "$out" 2>/dev/null)" "$golden"/*.events
status=0
for events in "$golden"/*.events; do
  name=$(basename "$events" .events)
  if cmp -s "$out/$name.xmlc" "$golden/$name.xmlc"; then
    echo "same bytes: $name.xmlc"
  else
    echo "DIFFERENT: $name.xmlc"
    status=1
  fi
done
exit $status
