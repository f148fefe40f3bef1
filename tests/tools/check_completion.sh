#!/bin/bash
# xmlc's bash completion, driven as bash drives it, against the built xmlc.
set -u
export LC_ALL=C
xmlc=$1
shopt -s extglob
# shellcheck source=/dev/null
source "$2"
status=0

# Completes the words given, the last one being the word under the cursor.
complete_words() {
  COMP_WORDS=("$xmlc" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _xmlc
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@")
  if [[ $got != "$want" ]]; then
    echo "check_completion: 'xmlc $*' gives '$got', not '$want'" >&2
    status=1
  fi
}

expect "--help --version check compile dump help info record " ""
expect "dump " d
expect "check compile dump help info record " help ""
expect "--output-dir= --output= " compile --o
expect "-Werror -Wno-duplicate-id -Wno-empty-layout -Wno-encoding-mismatch -Wno-missing-layoutid -Wno-not-a-directive -Wno-text-dropped -Wno-unknown-layout " check -W
expect "-Werror -Wno-duplicate-id -Wno-empty-layout -Wno-encoding-mismatch -Wno-missing-layoutid -Wno-not-a-directive -Wno-text-dropped -Wno-unknown-layout " compile -W
expect "--format= " dump --f
expect "json " dump --format = j
expect "chunks " dump --format c
expect "no-empty-layout no-encoding-mismatch " compile --warning = no-e
expect "sarif " check --diagnostics-format = s
expect "--help --plugin= " info --
cd "$(mktemp -d)" || exit 1
mkdir sub && touch a.xml b.XML c.xmlc d.txt
expect "a.xml b.XML sub " compile ""
expect "c.xmlc sub " dump ""
expect "sub " compile -d ""
rm -rf "$PWD"
exit $status
