#!/usr/bin/env bash
# The main job: builds the plug-in and runs it in our host under Wine, as a music host would.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
source scripts/common.sh

scripts/setup.sh
echo "== build win32"
build_flavour win32
trap stop_background EXIT
start_virtual_display
start_wine

bin=$(flavour_dir win32)/bin
mkdir -p "$top/out"
echo "== our host loads build/win32/bin/vintrove.dll"
"$top/cmake/wine-run.sh" "$bin/vintrove-host.exe" --info "$bin/vintrove.dll" | tr -d '\r' | tee "$top/out/host-info.txt"
echo "run: the host's report is in out/host-info.txt"
