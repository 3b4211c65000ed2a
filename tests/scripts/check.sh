# Shared by the script tests: a scratch folder removed at exit, clones of the run scripts in it,
# and one PASS or FAIL line per check, with what the command printed when a check fails.
# shellcheck shell=bash
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
stubs="$top/tests/scripts/stubs"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vintrove-script-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
checks=0
last_output=""

# A copy of the project's entry point and scripts, so that what a run writes (build/, dist/)
# stays in the scratch folder.
new_clone() {  # name
  local clone="$scratch/$1"
  mkdir -p "$clone"
  cp -r "$top/run" "$top/scripts" "$clone/"
  echo "$clone"
}

check() {  # description, command...
  local what=$1
  shift
  checks=$((checks + 1))
  if "$@"; then
    echo "PASS $what"
  else
    echo "FAIL $what"
    failures=$((failures + 1))
    [ -z "$last_output" ] || sed 's/^/    | /' <<<"$last_output"
  fi
}

finish() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
