#!/usr/bin/env bash
# The long soak: N loads (200 by default) of random test files through the editor's dialog while
# rendering, with the editor opened and closed and MIDI keys and parameter changes in between, on
# both widths; fails on a hang, a crash, an unanswered dialog, or GDI objects, windows or kernel
# handles that grow in both halves of the run after the warm-up. The test command runs a short one.
#   scripts/soak.sh [loads]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
source scripts/common.sh
loads=${1:-200}

scripts/setup.sh
flavours=(win32 win64)
if ! runs_32bit_programs; then
  echo "soak: win32 not run: $no_32bit_reason"
  flavours=(win64)
fi
for flavour in "${flavours[@]}"; do
  echo "== build $flavour: the plug-in and our host"
  build_flavour "$flavour" vintrove vintrove-host
done
trap stop_background EXIT
start_virtual_display
start_wine
failures=0
for flavour in "${flavours[@]}"; do
  bin=$(flavour_dir "$flavour")/bin
  echo "== soak $flavour: $loads loads"
  "$top/cmake/wine-run.sh" "$bin/vintrove-host.exe" --soak "$loads" --media "$top/tests/data" "$bin/vintrove.dll" \
    </dev/null 2> >(grep -v '^wine: Read access denied for device' >&2) | tr -d '\r' ||
    failures=$((failures + 1))
done
echo "soak: $((${#flavours[@]} - failures)) of ${#flavours[@]} widths passed"
[ "$failures" -eq 0 ]
