#!/bin/sh
# Checks that the tables of Debian packages in docs/development.md name
# exactly the packages scripts/bootstrap installs for each stage.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
status=0
# The rows of the tables headed "| stage" or "| script", up to the blank line after each.
rows=$(awk '/^\| (stage|script) / { inside = 1; next } /^$/ { inside = 0 }
            inside && /^\| `[a-z0-9-]+` +\|/' "$root/docs/development.md")
[ -n "$rows" ] || { echo "package_tables: no package table in docs/development.md" >&2; exit 1; }
echo "$rows" | while IFS= read -r row; do
  stage=$(echo "$row" | sed -E 's/^\| `([a-z0-9-]+)`.*/\1/')
  # The last cell, less the labels of a stage's parts ("core:", "Wine:").
  listed=$(echo "$row" | awk -F'|' '{print $(NF-1)}' | sed -E 's/(^|;) *[A-Za-z]+: /\1 /g; s/[;,]/ /g' |
           tr -s ' ' '\n' | sed '/^$/d' | sort -u)
  wanted=$("$root/scripts/bootstrap" --list "$stage" | sort -u)
  if [ "$listed" != "$wanted" ]; then
    echo "package_tables: docs/development.md's row for '$stage' differs from scripts/bootstrap:" >&2
    printf 'bootstrap: %s\ntable:     %s\n' "$(echo $wanted)" "$(echo $listed)" >&2
    exit 1
  fi
done || status=1
[ $status -eq 0 ] && echo "the package tables of docs/development.md match scripts/bootstrap"
exit $status
