#!/usr/bin/env bash
# The main job: builds the plug-in and plays a file through it in our host under Wine, as a
# music host would: the editor open in a window, the file chosen with the editor's open button
# in the real file dialog, a few seconds rendered into out/demo.wav, the editor saved as
# out/editor.png.
#   scripts/demo.sh [file.mp1|.mp2|.mp3]   (default: a short sample of ours)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
input=${1:-$top/tests/data/l3_44k1_stereo_128k.mp3}
[ -f "$input" ] || { echo "demo: no such file: $input" >&2; exit 2; }
input=$(cd "$(dirname "$input")" && pwd)/$(basename "$input")
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
"$top/cmake/wine-run.sh" "$bin/vintrove-host.exe" --info "$bin/vintrove.dll" | tr -d '\r' >"$top/out/host-info.txt"
echo "== our host plays $input through the plug-in"
"$top/cmake/wine-run.sh" "$bin/vintrove-host.exe" --play "$input" --seconds 2 \
  --wav "$top/out/demo.wav" --png "$top/out/editor.png" "$bin/vintrove.dll" 2>/dev/null | tr -d '\r'
echo "demo: wrote out/demo.wav, out/editor.png and out/host-info.txt"
