#!/usr/bin/env bash
# The main job: builds the plug-in and plays a file through it in our host under Wine, as a
# music host would: the editor open in a window, the file chosen with the editor's open button
# in the real file dialog, a few seconds rendered into out/demo.wav, the editor saved as
# out/editor.png. The out/ files are replaced only by a run that succeeds; a failure names why.
#   scripts/demo.sh [file.mp1|.mp2|.mp3]   (default: a short sample of ours)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
input=${1:-$top/tests/data/l3_44k1_stereo_128k.mp3}

fail() { echo "demo: $*; out/ is left as it was" >&2; exit "${status:-1}"; }

# The file is checked before the build, which takes minutes the first time.
status=2
if [ -d "$input" ]; then fail "cannot open $input: it is a folder"; fi
if [ ! -e "$input" ]; then fail "cannot open $input: no such file"; fi
if ! reason=$(head -c 1 -- "$input" 2>&1 >/dev/null); then fail "cannot open $input: ${reason##*: }"; fi
status=1
input=$(cd "$(dirname "$input")" && pwd)/$(basename "$input")
cd "$top"
source scripts/common.sh

scripts/setup.sh
flavour=win32
if ! runs_32bit_programs; then
  echo "demo: playing through the 64-bit build: $no_32bit_reason"
  flavour=win64
fi
echo "== build $flavour: the plug-in and our host"
build_flavour "$flavour" vintrove vintrove-host
trap stop_background EXIT
start_virtual_display
start_wine

bin=$(flavour_dir "$flavour")/bin
staged=$(mktemp -d "$top/build/demo.XXXXXX")
trap 'rm -rf "$staged"; stop_background' EXIT
# Our host's reasons are its "vintrove-host:" lines; Wine's notes about drive Z: are noise, and
# the staging folder is not worth showing: the last line names the out/ files.
host() {
  local errors=$staged/errors output=$staged/output result=0
  "$top/cmake/wine-run.sh" "$bin/vintrove-host.exe" "$@" >"$output" 2>"$errors" || result=$?
  tr -d '\r' <"$output" | grep -Ev "^(wav|png): $staged/" || true
  tr -d '\r' <"$errors" | grep -v '^wine: Read access denied for device' >&2 || true
  return "$result"
}
echo "== our host loads build/$flavour/bin/vintrove.dll"
host --info "$bin/vintrove.dll" >"$staged/host-info.txt" || fail "our host could not load the plug-in"
echo "== our host plays $input through the plug-in"
host --play "$input" --seconds 2 --wav "$staged/demo.wav" --png "$staged/editor.png" "$bin/vintrove.dll" ||
  fail "no sound from $input (the reason is above)"
mkdir -p "$top/out"
mv -f "$staged/demo.wav" "$staged/editor.png" "$staged/host-info.txt" "$top/out/"
echo "demo: wrote out/demo.wav, out/editor.png and out/host-info.txt"
