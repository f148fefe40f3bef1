# Sourced by scripts/bootstrap and scripts/mingw-source: the one way this
# project runs `apt-get update` against a registry that sometimes fails.
# shellcheck shell=bash

# apt_update WHO LOG [APT_OPTIONS...]: apt-get update, with three more tries
# after about 10, 30 and 60 s while it reports index files it could not
# fetch, each said on standard error as WHO's. Leaves apt's output in LOG and
# its complaint in `update_failed` ("" when every index arrived); returns 1
# when it still failed. Lists that did arrive usually serve, so callers go on.
apt_update() {
  local who=$1 log=$2 wait
  shift 2
  update_failed=""
  for wait in 10 30 60 done; do
    if apt-get "$@" update -q > "$log" 2>&1 &&
       ! grep -qE '^(W|E): (Failed to fetch|Some index files failed)' "$log"; then
      update_failed=""
      return 0
    fi
    update_failed=$(grep -E '^(W|E): Failed to fetch' "$log" | head -n 1 || true)
    [ -n "$update_failed" ] || update_failed=$(grep -E '^(W|E|Err):' "$log" | tail -n 1 || true)
    [ "$wait" = done ] && return 1
    echo "$who: apt-get update did not fetch every index (${update_failed:-no detail}); retrying in ${wait}s" >&2
    sleep "$wait"
  done
}
