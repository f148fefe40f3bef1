#!/usr/bin/env bash
# Compares the parse-versus-compile figures of an earlier revision with the
# work tree's, on the same machine, in interleaved runs: a change that must
# not slow a clean compile shows it here.
#
# Usage: bench/compare_revisions.sh REVISION [RUNS] [SIZES]
#   REVISION  any git revision (built in build/compare/REVISION-HASH)
#   RUNS      interleaved runs of each (default 5); the medians are printed
#   SIZES     realistic document sizes in MB (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
revision=${1:?usage: bench/compare_revisions.sh REVISION [RUNS] [SIZES]}
runs=${2:-5}
sizes=${3:-10}
hash=$(git rev-parse --short "$revision")
old=build/compare/$hash
if [ ! -d "$old" ]; then
  git worktree add --detach "$old" "$hash" > /dev/null
fi
targets=(parse_vs_compile deva3201 xmlc)
echo "compare: building $hash and the work tree (Release)"
(cd "$old" && cmake --preset bench > /dev/null && cmake --build --preset bench --target "${targets[@]}" > /dev/null)
cmake --preset bench > /dev/null && cmake --build --preset bench --target "${targets[@]}" > /dev/null

# Fields of a row of parse_vs_compile's first table (12 of them; the phase
# table's rows have 8): 2 size, 6 compile MB/s, 7 compile/parse, 10 peak / input MB.
results=$(mktemp)
trap 'rm -f "$results"' EXIT
for _ in $(seq "$runs"); do
  for side in old new; do
    dir=$([ "$side" = old ] && echo "$old" || echo .)
    "$dir/build/bench/bin/parse_vs_compile" --sizes "$sizes" 2> /dev/null |
      awk -v side="$side" '/^realistic / && NF == 12 { print side, $2, $6, $7, $10 }' >> "$results"
  done
done
echo
printf '%-8s %8s %14s %15s %16s\n' "" "MB" "compile MB/s" "compile/parse" "peak / input MB"
for side in old new; do
  for size in $(awk -v side="$side" '$1 == side { print $2 }' "$results" | sort -un); do
    median() { awk -v side="$side" -v size="$size" -v col="$1" '$1 == side && $2 == size { print $col }' "$results" |
      sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
    label=$([ "$side" = old ] && echo "$hash" || echo "work tree")
    printf '%-10s %6s %14s %15s %16s\n' "$label" "$size" "$(median 3)" "$(median 4)" "$(median 5)"
  done
done
