#!/usr/bin/env bash
# xmlc beside the tools a user would pick instead, on the same documents, as
# whole processes: runs interleaved, medians of CPU seconds (user + system)
# and of peak resident memory (GNU time).
#   bare expat     namespace mode, callbacks that do nothing: the floor of any parse
#   xmllint        libxml2 building its tree (--noout)
#   xmlc compile   this project
#   aapt2 compile  the document as an Android layout: a compiler of XML
#                  layouts to a binary tree with a string pool
# Then the batch column: many small layouts of the sizes real skins have
# (most 1 to 20 KB, a few up to 1 MB, some in UTF-16 and legacy encodings),
# `xmlc compile FILES -d OUT -j 1` against one process parsing them all with
# bare expat, at 1,000 and 10,000 files, wall-clock seconds.
# usage: bench/peers.sh BUILD_DIR [RUNS] [MB...]   (default 5 runs, 1 and 10 MB)
set -euo pipefail
build=${1:?usage: bench/peers.sh BUILD_DIR [RUNS] [MB...]}
runs=${2:-5}
shift 2 2> /dev/null || shift $#
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1 10)
bin=$build/bin
work=$build/peers
rm -rf "$work"
mkdir -p "$work"
command -v aapt2 > /dev/null || { echo "peers: aapt2 is missing (Debian package aapt)" >&2; exit 1; }

# measure FILE CMD...: appends "wall cpu peak_kib" of one run of CMD to FILE.
measure() {
  local file=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" > /dev/null 2> "$work/stderr" ||
    { cat "$work/stderr" >&2; echo "peers: failed: $*" >&2; exit 1; }
  awk '{printf "%s %.3f %s\n", $1, $2 + $3, $4}' "$work/time" >> "$file"
}

# median FILE COLUMN: the median of one column (1 wall, 2 cpu, 3 peak KiB).
median() {
  sort -g -k"$2" "$1" | awk -v c="$2" '{v[NR] = $c} END {print v[int((NR + 1) / 2)]}'
}

tools=(expat xmllint xmlc aapt2)
declare -A label=([expat]="bare expat" [xmllint]="xmllint --noout" [xmlc]="xmlc compile"
                  [aapt2]="aapt2 compile")
for mb in "${sizes[@]}"; do
  name=realistic-${mb}MB
  "$bin/make_corpus" "$work" "$mb" > /dev/null
  mkdir -p "$work/res/layout" "$work/flat"
  cp "$work/$name.xml" "$work/res/layout/realistic_${mb//./_}mb.xml"
  for r in $(seq "$runs"); do
    for tool in "${tools[@]}"; do
      case $tool in
        expat) measure "$work/$tool" "$bin/parse_vs_compile" --bare-parse "$work/$name.xml" ;;
        xmllint) measure "$work/$tool" xmllint --noout "$work/$name.xml" ;;
        xmlc) measure "$work/$tool" "$bin/xmlc" compile "$work/$name.xml" -o "$work/$name.xmlc" ;;
        aapt2) measure "$work/$tool" aapt2 compile "$work/res/layout/realistic_${mb//./_}mb.xml" \
                 -o "$work/flat/" ;;
      esac
    done
  done
  xmlc_cpu=$(median "$work/xmlc" 2)
  echo "== peers: $name, whole processes, medians of $runs interleaved runs"
  printf '%-18s %8s %10s %14s\n' tool "CPU s" "peak MiB" "xmlc against it"
  for tool in "${tools[@]}"; do
    cpu=$(median "$work/$tool" 2)
    peak=$(median "$work/$tool" 3)
    printf '%-18s %8.3f %10.1f %13.2fx\n' "${label[$tool]}" "$cpu" "$(echo "$peak / 1024" | bc -l)" \
      "$(echo "$xmlc_cpu / $cpu" | bc -l)"
    rm -f "$work/$tool"
  done
  echo
done

echo "== batch: many small layouts, -j 1, wall-clock seconds, medians of 3 runs"
printf '%-7s %9s %12s %9s %12s %9s\n' files MB "bare expat" xmlc "xmlc/expat" "xmlc CPU"
declare -A took
for files in 1000 10000; do
  corpus=$work/batch-$files
  mkdir -p "$corpus"
  "$bin/make_corpus" --batch "$files" "$corpus" > "$work/list"
  mapfile -t inputs < "$work/list"
  megabytes=$(du -cb "${inputs[@]}" | tail -n 1 | awk '{printf "%.1f", $1 / 1e6}')
  for r in 1 2 3; do
    measure "$work/batch-expat" "$bin/parse_vs_compile" --bare-parse-batch "${inputs[@]}"
    rm -rf "$work/out"
    measure "$work/batch-xmlc" "$bin/xmlc" compile "${inputs[@]}" -d "$work/out" -j 1
  done
  expat=$(median "$work/batch-expat" 1)
  xmlc=$(median "$work/batch-xmlc" 1)
  took[$files]=$xmlc
  printf '%-7s %9s %12.3f %9.3f %11.2fx %9.3f\n' "$files" "$megabytes" "$expat" "$xmlc" \
    "$(echo "$xmlc / $expat" | bc -l)" "$(median "$work/batch-xmlc" 2)"
  rm -f "$work/batch-expat" "$work/batch-xmlc"
  rm -rf "$corpus" "$work/out"
done
printf 'ten times the files took %.1f times the time\n' "$(echo "${took[10000]} / ${took[1000]}" | bc -l)"
