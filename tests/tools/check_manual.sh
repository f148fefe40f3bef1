#!/bin/sh
# The man page and xmlc's --help name the same commands, for each command the
# same options, and the same bound on the workers.
set -eu
xmlc=$1
page=$2
status=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Option names (without =ARG) from the option column of help text on stdin.
help_options() {
  sed -n 's/^  *\(-.*\)/\1/p' | sed -e 's/  .*//' -e 's/=[^ ,]*//g' |
    grep -o -- '--*[A-Za-z][A-Za-z-]*' | sort -u
}
# The same from the .TP lines of one .SS section of the man page.
page_options() {
  sed -e 's/\\f[BIR]//g' -e 's/\\-/-/g' "$page" |
    awk -v section="$1" '/^\.S[SH] / { inside = ($2 == section) } inside && prev == ".TP" { print } { prev = $0 }' |
    sed 's/=[^ ,]*//g' | grep -o -- '--*[A-Za-z][A-Za-z-]*' | sort -u
}
compare() {
  if [ "$2" != "$3" ]; then
    echo "check_manual: $1 differs between --help and $page:" >&2
    printf '%s\n' "$2" > "$work/help"
    printf '%s\n' "$3" > "$work/page"
    diff "$work/help" "$work/page" >&2 || true
    status=1
  fi
}

commands=$($xmlc --help | sed -n 's/^  \([a-z][a-z]*\)  .*/\1/p' | sort)
documented=$(sed -e 's/\\-/-/g' "$page" |
  awk '/^\.S[SH] / { inside = ($2 == "COMMANDS") } inside && prev == ".TP" { print $2 } { prev = $0 }' | sort)
compare "the commands" "$commands" "$documented"
for command in $commands; do
  [ "$command" = help ] && continue
  compare "the options of $command" "$($xmlc "$command" --help | help_options)" "$(page_options "$command")"
done
# The workers' bound, which the help takes from the code.
bound=$($xmlc compile --help | sed -n 's/.*workers, 1 to \([0-9]*\).*/\1/p')
written=$(sed -n 's/.*workers, 1 to \([0-9]*\).*/\1/p' "$page" | sort -u)
compare "the bound on the workers (compile's and check's -j)" "$bound" "$written"
exit $status
