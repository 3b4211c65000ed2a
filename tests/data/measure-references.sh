#!/usr/bin/env bash
# Prints what two independent decoders make of each test file, the numbers README.md records
# and the tests hold the loader to: frames per channel decoded by mpg123 (gapless, its default)
# and by ffmpeg; where mpg123's left channel first leaves zero, and its samples (left, right) at
# frames 0 and 1000. Then the frame counts of both for the variants of l3_44k1_stereo_128k.mp3
# that the loader's tests build (junk before the Info frame, a file cut short, other counts).
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

# The variants of l3_44k1_stereo_128k.mp3 that the loader's tests build (README.md): frames per
# channel decoded by mpg123 and by ffmpeg.
python3 - l3_44k1_stereo_128k.mp3 "$work" <<'PY'
import random, sys
name, work = sys.argv[1], sys.argv[2]
d = open(name, 'rb').read()
offsets, i = [], 0
while i + 4 <= len(d) and d[i] == 0xFF:
    rate = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320][d[i + 2] >> 4]
    offsets.append(i)
    i += 144 * rate * 1000 // 44100 + ((d[i + 2] >> 1) & 1)
tag = b'ID3\x03\x00\x00\x00\x00\x00\x64' + bytes(100)
random.seed(3)
variants = {f'tag+{n}zeros': tag + bytes(n) + d for n in (1, 4, 64, 1000)}
variants['tag+1000junk'] = tag + bytes(random.getrandbits(8) for _ in range(1000)) + d
variants['64zeros'] = bytes(64) + d
variants['cut10'] = d[:offsets[-10]]
for count in (200, 117, 115, 100, 0):
    variants[f'count{count}'] = d[:44] + count.to_bytes(4, 'big') + d[48:]
variants['nocount'] = d[:43] + b'\x0e' + d[48:417] + bytes(4) + d[417:]
for key, data in variants.items():
    open(f'{work}/{key}.mp3', 'wb').write(data)
print(' '.join(variants))
PY
for v in tag+1zeros tag+4zeros tag+64zeros tag+1000zeros tag+1000junk 64zeros cut10 count200 count117 count115 count100 count0 nocount; do
  m=$(mpg123 -q -e f32 -s "$work/$v.mp3" 2>/dev/null | wc -c)
  f=$(ffmpeg -nostdin -v error -i "$work/$v.mp3" -f f32le - 2>/dev/null | wc -c)
  printf '%-32s %3s %9d %9d\n' "$v" 2 $((m / 8)) $((f / 8))
done
