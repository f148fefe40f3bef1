#!/usr/bin/env bash
# shellcheck disable=SC2317  # the stand-ins are called by scripts/apt-plan.sh
# scripts/apt-plan.sh against what apt prints on a real machine, written by
# hand in tests/scripts/apt-plan/: each case folder holds the request, the
# installed packages, what `apt-cache depends --recurse` and `apt-get -s`
# print (plan.PINS, PINS being the pinned packages joined by '+', or none),
# and the outcome expected: the status, the pins, the install's options, the
# downgrades and the removals of the last plan. apt-get, apt-cache,
# dpkg-query and dpkg are stood in for by functions reading those files;
# `dpkg --compare-versions` is the real one.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fixtures=$here/apt-plan
root=$(cd "$here/../.." && pwd)
status=0

# The stand-ins, reading the case in $case and the lists in $fixtures/lists.
apt-get() {
  local arg prefs="" plan
  for arg in "$@"; do
    case $arg in Dir::Etc::Preferences=*) prefs=${arg#*=} ;; esac
  done
  plan=none
  if [ -n "$prefs" ]; then plan=$(sed -n 's/^Package: //p' "$prefs" | sort | paste -sd+); fi
  [ -f "$case/plan.$plan" ] || { echo "E: the case has no plan.$plan"; return 100; }
  cat "$case/plan.$plan"
  ! grep -q '^E:' "$case/plan.$plan" || return 100
}
apt-cache() {
  local what=$1 arg name arch
  shift
  case $what in
    depends) cat "$case/depends" ;;
    show | policy)
      for arg in "$@"; do
        name=${arg%%:*} arch=amd64
        [ "$arg" != "$name" ] && arch=${arg#*:}
        if [ "$what" = show ]; then
          awk -v RS= -v n="$name" -v a="$arch" \
            '$0 ~ ("(^|\n)Package: " n "\n") && $0 ~ ("\nArchitecture: " a "(\n|$)") {print $0 "\n"}' \
            "$fixtures/lists/show"
        else
          [ "$arch" = amd64 ] && header="$name:" || header="$name:$arch:"
          awk -v h="$header" '/^[^ ]/ {inside = ($0 == h)} inside' "$fixtures/lists/policy"
        fi
      done ;;
  esac
}
dpkg-query() {
  local format="" name arch line
  for arg in "$@"; do
    case $arg in -f=*) format=${arg#-f=} ;; -W) ;; *) name=${arg%%:*} arch=amd64; [ "$arg" != "$name" ] && arch=${arg#*:} ;; esac
  done
  line=$(awk -v p="$name:$arch" '$1 == p' "$case/installed")
  [ -n "$line" ] || return 1
  case $format in
    '${Status}') echo "install ok installed" ;;
    '${source:Package}') echo "$line" | awk '{print $3}' ;;
  esac
}
dpkg() {
  case $1 in
    --print-architecture) echo amd64 ;;
    --print-foreign-architectures) echo i386 ;;
    *) command dpkg "$@" ;;
  esac
}

# shellcheck source=../../scripts/apt-plan.sh
source "$root/scripts/apt-plan.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
native_arch=amd64
apt_preferences=/dev/null
for case in "$fixtures"/*/; do
  case=${case%/}
  [ -f "$case/request" ] || continue
  name=$(basename "$case")
  read -ra missing < "$case/request"
  log=$work/$name.log
  rm -f "$log.preferences"
  code=0
  plan_install 2> "$work/$name.err" || code=$?
  {
    echo "status $code"
    [ -f "$log.preferences" ] &&
      awk '/^Package:/ {p = $2} /^Pin: version/ {print "pin", p, $3}' "$log.preferences"
    [ ${#apt_options[@]} -gt 0 ] && echo "options ${apt_options[*]//$log.preferences/PREFS}"
    downgrades | sed 's/^/downgrade /'
    sed -nE 's/^Remv ([^ ]+) .*/remove \1/p' "$log"
  } > "$work/$name.got"
  if diff -u "$case/expected" "$work/$name.got"; then
    echo "ok: $name"
  else
    echo "FAILED: $name; what it said:"
    cat "$work/$name.err"
    status=1
  fi
done
exit $status
