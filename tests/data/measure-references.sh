#!/usr/bin/env bash
# Prints what two independent decoders make of each test file, the numbers README.md records
# and the tests hold the loader to: frames per channel decoded by mpg123 (gapless, its default)
# and by ffmpeg; where mpg123's left channel first leaves zero, and its samples (left, right) at
# frames 0 and 1000.
# Needs mpg123, ffmpeg and python3. Run it from anywhere: tests/data/measure-references.sh
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-32s %3s %9s %9s %6s  %s\n' file ch mpg123 ffmpeg nonzero "mpg123 L0 R0 L1000 R1000"
for f in *.mp1 *.mp2 *.mp3; do
  [ -f "$f" ] || continue
  channels=$(ffprobe -v error -select_streams a:0 -show_entries stream=channels -of csv=p=0 "$f" 2>/dev/null | tr -dc 0-9 || true)
  channels=${channels:-0}
  mpg123 -q -e f32 -s "$f" >"$work/m.f32" 2>/dev/null || true
  ffmpeg -nostdin -v error -i "$f" -f f32le - >"$work/f.f32" 2>/dev/null || true
  python3 - "$f" "$channels" "$work/m.f32" "$work/f.f32" <<'PY'
import array, sys
name, channels = sys.argv[1], int(sys.argv[2])
def load(path):
    a = array.array('f'); a.frombytes(open(path, 'rb').read()); return a
m, f = load(sys.argv[3]), load(sys.argv[4])
if channels == 0:
    print(f"{name:32s} {'-':>3s} {0:9d} {0:9d}"); sys.exit()
frames = len(m) // channels
if frames <= 1000:
    print(f"{name:32s} {channels:3d} {frames:9d} {len(f) // channels:9d}"); sys.exit()
nonzero = next((i for i in range(frames) if m[i * channels] != 0.0), -1)
right = channels - 1
values = ' '.join(f"{m[i * channels + c]:.6g}" for i in (0, 1000) for c in (0, right))
print(f"{name:32s} {channels:3d} {frames:9d} {len(f) // channels:9d} {nonzero:6d}  {values}")
PY
done
