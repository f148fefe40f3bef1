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
expect "-Wall -Wduplicate-id -Wempty-layout -Wencoding-mismatch -Werror -Werror=duplicate-id -Werror=empty-layout -Werror=encoding-mismatch -Werror=missing-layoutid -Werror=not-a-directive -Werror=text-dropped -Werror=unknown-layout -Wextra -Wmissing-layoutid -Wno-duplicate-id -Wno-empty-layout -Wno-encoding-mismatch -Wno-error=duplicate-id -Wno-error=empty-layout -Wno-error=encoding-mismatch -Wno-error=missing-layoutid -Wno-error=not-a-directive -Wno-error=text-dropped -Wno-error=unknown-layout -Wno-missing-layoutid -Wno-not-a-directive -Wno-text-dropped -Wno-unknown-layout -Wnot-a-directive -Wtext-dropped -Wunknown-layout " check -W
expect "-Wno-error=empty-layout -Wno-error=encoding-mismatch " compile -Wno-error=e
expect "-Werror=unknown-layout " compile -Werror=u
expect "-fdiagnostics-color " check -f
expect "always auto " check --color = a
expect "--format= " dump --f
expect "json " dump --format = j
expect "chunks " dump --format c
expect "no-empty-layout no-encoding-mismatch no-error=duplicate-id no-error=empty-layout no-error=encoding-mismatch no-error=missing-layoutid no-error=not-a-directive no-error=text-dropped no-error=unknown-layout " compile --warning = no-e
expect "sarif " check --diagnostics-format = s
expect "--help --plugin= " info --
cd "$(mktemp -d)" || exit 1
mkdir sub && touch a.xml b.XML c.xmlc d.txt
expect "a.xml b.XML sub " compile ""
expect "c.xmlc sub " dump ""
expect "sub " compile -d ""
rm -rf "$PWD"
exit $status
