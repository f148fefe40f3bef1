#!/usr/bin/env bash
# xmlc.exe under Wine beside the Linux xmlc on the same documents, as whole
# processes (Wine's start-up included): one realistic 10 MB layout, and a
# batch of 1,000 small layouts in UTF-8 and UTF-16 (the encodings both read)
# on -j 1 and -j 2. Medians of wall-clock seconds over 3 runs, outputs
# compared byte for byte. Wine is the `wine` on PATH.
# usage: bench/exe_vs_linux.sh NATIVE_BUILD_DIR WIN32_BUILD_DIR
set -euo pipefail
native=${1:?usage: bench/exe_vs_linux.sh NATIVE_BUILD_DIR WIN32_BUILD_DIR}
win32=${2:?usage: bench/exe_vs_linux.sh NATIVE_BUILD_DIR WIN32_BUILD_DIR}
native=$(realpath "$native") win32=$(realpath "$win32")
work=$win32/exe-vs-linux
rm -rf "$work" && mkdir -p "$work"
export WINEDEBUG=-all DISPLAY=

# wall CMD...: the median of 3 runs' wall-clock seconds of CMD, run in $work.
wall() {
  local times=()
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    (cd "$work" && "$@") > /dev/null 2>&1 || { echo "exe-vs-linux: failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | sed -n 2p
}

"$native/bin/make_corpus" "$work" 10 > /dev/null
mkdir -p "$work/batch"
"$native/bin/make_corpus" --batch 1300 "$work/batch" > "$work/all"
# The batch's first 1,000 UTF-8 and UTF-16 files: those with no legacy encoding declared.
: > "$work/list"
while read -r file && [ "$(wc -l < "$work/list")" -lt 1000 ]; do
  head -c 200 "$file" | grep -qiE 'encoding="(windows|iso|shift|euc|koi|gb|big5|cp|tis|mac)' ||
    realpath --relative-to="$work" "$file" >> "$work/list"
done < "$work/all"
mapfile -t inputs < "$work/list"

echo "== one realistic 10 MB layout: wall-clock seconds, medians of 3"
linux=$(wall "$native/bin/xmlc" compile realistic-10MB.xml -o linux.xmlc)
windows=$(wall wine "$win32/bin/xmlc.exe" compile realistic-10MB.xml -o windows.xmlc)
cmp -s "$work/linux.xmlc" "$work/windows.xmlc" && same="same bytes" || same="DIFFERENT bytes"
printf 'xmlc (Linux) %.3f   xmlc.exe (Wine) %.3f   %.2fx   %s\n' "$linux" "$windows" \
  "$(echo "$windows / $linux" | bc -l)" "$same"

echo "== a batch of ${#inputs[@]} layouts ($(du -cb "${inputs[@]/#/$work/}" | tail -n 1 | awk '{printf "%.1f MB", $1 / 1e6}'))"
for jobs in 1 2; do
  linux=$(wall "$native/bin/xmlc" compile -j $jobs -d out-linux "${inputs[@]}")
  windows=$(wall wine "$win32/bin/xmlc.exe" compile -j $jobs -d out-windows "${inputs[@]}")
  diff -rq "$work/out-linux" "$work/out-windows" > /dev/null && same="same bytes" || same="DIFFERENT bytes"
  printf -- '-j %s: xmlc (Linux) %.3f   xmlc.exe (Wine) %.3f   %.2fx   %s\n' "$jobs" "$linux" "$windows" \
    "$(echo "$windows / $linux" | bc -l)" "$same"
done
wine_start=$(wall wine "$win32/bin/xmlc.exe" --version)
printf "Wine's start-up alone (xmlc.exe --version): %.3f s\n" "$wine_start"
