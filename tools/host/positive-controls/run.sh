#!/usr/bin/env bash
# Shows that each of the validator's checks can fail: applies each deliberately broken change
# (*.patch, its first line naming the check it must fail), builds the win32 DLL and its counting
# twin, runs `vintrove-host --validate` and looks for that check's FAIL line; then takes the
# change back. Run from a clean worktree with the win32 build configured.
# Usage: tools/host/positive-controls/run.sh [patch ...]
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
here="$top/tools/host/positive-controls"
source "$top/scripts/common.sh"
start_virtual_display
start_wine
trap stop_background EXIT
bin="$top/build/win32/bin"
patches=("$@")
[ ${#patches[@]} -gt 0 ] || patches=("$here"/*.patch)
failed=0
for patch in "${patches[@]}"; do
  expects=$(sed -n '1s/^# expects: //p' "$patch")
  name=$(basename "$patch" .patch)
  git -C "$top" apply "$patch" || { echo "$name: does not apply"; failed=1; continue; }
  if cmake --build "$top/build/win32" -j "$jobs" --target vintrove vintrove_counting vintrove-host >/dev/null; then
    log="$top/build/win32/control-$name.log"
    wine "$bin/vintrove-host.exe" --validate "$bin/vintrove.dll" --seconds 1 --allocations "$bin/vintrove_counting.dll" >"$log" 2>&1
    if grep -q "^FAIL $expects:" "$log"; then
      echo "$name: $(grep -m1 "^FAIL $expects:" "$log")"
    else
      echo "$name: NOT CAUGHT (no \"FAIL $expects\"; see $log)"
      failed=1
    fi
  else
    echo "$name: does not build"; failed=1
  fi
  git -C "$top" apply -R "$patch"
done
cmake --build "$top/build/win32" -j "$jobs" --target vintrove vintrove_counting vintrove-host >/dev/null
exit $failed
