#!/usr/bin/env bash
# Builds the 32-bit and 64-bit plug-in and packs what a musician installs:
#   dist/vintrove-<version>-windows.zip
#     x86/ and x64/        per width: vintrove.dll, vintrove-host.exe (our host and validator) and
#                          vintrove_counting.dll (the plug-in built to count audio-thread calls)
#     README.txt           for musicians: installing, what is saved, the validator, known limits
#     licences/            libmad's copying conditions, copyright and credits
# With --verify it checks the zip (scripts/release-check.sh): its entries, exactly, and DLL formats,
# then it unpacks it and runs the README's validator command on both widths in a Wine prefix of
# its own, made fresh (the test command runs it that way).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
source scripts/common.sh

verify=false
[ "${1:-}" = --verify ] && verify=true

version=$(sed -n 's/^project(Vintrove VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
name="vintrove-$version-windows"
libmad="$top/build/third_party/libmad-0.15.1b"
shipped=(vintrove.dll vintrove-host.exe vintrove_counting.dll)

if ! $verify; then
  scripts/setup.sh
fi
for flavour in win32 win64; do
  build_flavour "$flavour" "${shipped_targets[@]}"
done

stage="$top/build/release/$name"
rm -rf "$stage"
mkdir -p "$stage/licences" "$top/dist"
for pair in x86:win32 x64:win64; do
  mkdir -p "$stage/${pair%%:*}"
  for file in "${shipped[@]}"; do cp "$(flavour_dir "${pair#*:}")/bin/$file" "$stage/${pair%%:*}/$file"; done
done
# Windows line ends, so that every editor shows the README as written.
sed 's/$/\r/' docs/README-musicians.txt >"$stage/README.txt"
for notice in COPYING COPYRIGHT CREDITS; do
  cp "$libmad/$notice" "$stage/licences/libmad-$notice.txt"
done

zip="$top/dist/$name.zip"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip x86 x64 README.txt licences)
echo "release: $zip"
$verify || exit 0

exec scripts/release-check.sh "$zip"
