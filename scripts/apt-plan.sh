# Sourced by scripts/bootstrap: plans the install of the packages in the
# array `missing` so that it removes nothing, pinning versions where the
# i386 package lists lag behind the machine's own. The plan apt would make
# is left in the file `$log`; `apt_options` holds the options the install
# needs (a preferences file of this run's own, and leave to downgrade).
# Reads `native_arch`, and `apt_preferences`, the machine's preferences file
# (default /etc/apt/preferences). Runs apt-get, apt-cache, dpkg-query and
# dpkg, and nothing else, so that tests/scripts/check_apt_plan.sh can stand
# in for them with what they print on a real machine.
# shellcheck shell=bash disable=SC2154  # missing, log and native_arch are the caller's

# simulate OPTIONS...: plans the install into $log without making it; true when
# apt resolves it and the plan removes no package.
simulate() {
  apt-get install -s -q --no-install-recommends "$@" "${missing[@]}" > "$log" 2>&1 &&
    ! grep -q '^Remv ' "$log"
}

installed() { dpkg-query -W -f='${Status}' "$1" 2> /dev/null | grep -q "install ok installed"; }

# Prints "PACKAGE ARCH VERSION MULTI-ARCH SOURCE" for each stanza of apt-cache show.
stanzas() {
  awk '/^Package:/ {p = $2} /^Architecture:/ {a = $2} /^Version:/ {v = $2}
       /^Multi-Arch:/ {m = $2} /^Source:/ {s = $2}
       /^$/ {if (p != "") print p, a, v, (m == "" ? "no" : m), (s == "" ? p : s); p = m = s = ""}'
}

# closure: the packages the request pulls in, dependencies included: NAME on
# the machine's architecture, NAME:i386 on i386, one a line.
closure() {
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "${missing[@]}" 2> /dev/null | grep -E '^[^ <]' | sort -u || true
}

# twins: the `Multi-Arch: same` packages that the install leaves on both
# architectures: pulled in on one, and installed or pulled in on the other.
twins() {
  local all native foreign name
  local -a names same
  all=$(closure)
  native=$(grep -v ':' <<< "$all" || true)
  foreign=$(sed -n 's/:i386$//p' <<< "$all")
  mapfile -t names < <(printf '%s\n' "$native" "$foreign" | sed '/^$/d' | sort -u)
  [ ${#names[@]} -gt 0 ] || return 0
  mapfile -t same < <(apt-cache show "${names[@]/%/:i386}" 2> /dev/null | stanzas |
                        awk '$4 == "same" {print $1}' | sort -u)
  for name in "${same[@]}"; do
    if { grep -qxF "$name" <<< "$foreign" &&
         { installed "$name:$native_arch" || grep -qxF "$name" <<< "$native"; }; } ||
       { grep -qxF "$name" <<< "$native" && installed "$name:i386"; }; then
      echo "$name"
    fi
  done
}

# candidate NAME ARCH: the version apt would install of NAME on ARCH.
candidate() { apt-cache policy "$1:$2" | awk '/Candidate:/ {print $2; exit}'; }

# versions NAME ARCH: every version ARCH's lists offer of NAME, one a line.
versions() { apt-cache show "$1:$2" 2> /dev/null | stanzas | awk '{print $3}'; }

# newest_common NAME: the newest version of NAME that both architectures'
# lists offer; nothing when there is none.
newest_common() {
  local best="" v native
  native=$(versions "$1" "$native_arch")
  for v in $(versions "$1" i386); do
    grep -qxF "$v" <<< "$native" || continue
    if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done
  echo "$best"
}

# twin_pins FILE: a `Multi-Arch: same` package must have one version on both
# architectures, and apt wants each at its candidate. When the i386 lists lag
# behind the machine's own (a suite whose i386 index did not arrive), the two
# candidates differ and the install cannot resolve. Each twin whose
# candidates differ is pinned to the newest version both architectures'
# lists offer. Writes apt preferences to FILE, prints "SOURCE VERSION" for
# each pin and tells the person on stderr.
twin_pins() {
  local prefs=$1 name native foreign best source
  for name in $(twins); do
    native=$(candidate "$name" "$native_arch")
    foreign=$(candidate "$name" i386)
    [ "$native" = "$foreign" ] && continue
    best=$(newest_common "$name")
    if [ -z "$best" ]; then
      echo "bootstrap: $name: no version is offered for both $native_arch ($native) and i386 ($foreign)" >&2
      continue
    fi
    source=$(apt-cache show "$name:i386" 2> /dev/null | stanzas | awk '{print $5; exit}')
    printf 'Package: %s\nPin: version %s\nPin-Priority: 1001\n\n' "$name" "$best" >> "$prefs"
    echo "$source $best"
    echo "bootstrap: $name: $native_arch offers $native, i386 $foreign; pinning both to $best" >&2
  done
}

# sibling_pins FILE SOURCES: pins each package the last plan removes that is
# built from a pinned source (its exact-version dependency on the pinned
# package is what removes it) to the same version. True when it added any.
sibling_pins() {
  local prefs=$1 sources=$2 added=1 name src version
  while read -r name; do
    src=$(dpkg-query -W -f='${source:Package}' "$name" 2> /dev/null || true)
    version=$(awk -v s="$src" '$1 == s {print $2; exit}' <<< "$sources")
    [ -n "$version" ] || continue
    grep -qxF "Package: ${name%%:*}" "$prefs" && continue
    printf 'Package: %s\nPin: version %s\nPin-Priority: 1001\n\n' "${name%%:*}" "$version" >> "$prefs"
    echo "bootstrap: ${name%%:*} is built from $src: pinning it to $version too" >&2
    added=0
  done < <(sed -nE 's/^Remv ([^ ]+) .*/\1/p' "$log")
  return $added
}

# Prints each downgrade the last plan makes, one "NAME OLD -> NEW" a line.
downgrades() {
  local name old new
  sed -nE 's/^Inst ([^ ]+) \[([^]]+)\] \(([^ ]+) .*/\1 \2 \3/p' "$log" | while read -r name old new; do
    dpkg --compare-versions "$new" lt "$old" && echo "$name $old -> $new"
  done
}

# plan_install: the plan for `missing` in $log, first as apt makes it, then,
# when apt cannot resolve it and i386 is a foreign architecture, with the
# twins pinned (twin_pins) and, round by round, the siblings a pin would
# remove (sibling_pins). True when the last plan installs and removes nothing.
plan_install() {
  local prefs sources
  apt_options=()
  simulate && return 0
  if ! grep -q '^Remv ' "$log" && dpkg --print-foreign-architectures | grep -qx i386; then
    # Pins live in a preferences file of this run's own, after the machine's.
    prefs=$log.preferences
    cat "${apt_preferences:-/etc/apt/preferences}" > "$prefs" 2> /dev/null || : > "$prefs"
    sources=$(twin_pins "$prefs")
    if [ -n "$sources" ]; then
      apt_options=(-o "Dir::Etc::Preferences=$prefs" --allow-downgrades)
      for _ in 1 2 3 4 5; do
        simulate "${apt_options[@]}" && return 0
        grep -q '^Remv ' "$log" && sibling_pins "$prefs" "$sources" || break
      done
    fi
  fi
  return 1
}
