#!/bin/sh
# Checks that the README's first steps after the quick start hold: xmlc is
# where scripts/run builds it, and the man page it points to is there.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(sed -n 's/^build=//p' "$root/scripts/run")
status=0
grep -qF "\`$build/bin/xmlc\`" "$root/README.md" ||
  { echo "readme_paths: the README does not say xmlc is in $build/bin/ (scripts/run's build folder)" >&2; status=1; }
grep -qF '`man -l docs/xmlc.1`' "$root/README.md" && [ -f "$root/docs/xmlc.1" ] ||
  { echo "readme_paths: the README's man -l docs/xmlc.1 has no page to show" >&2; status=1; }
exit $status
