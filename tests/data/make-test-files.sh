#!/usr/bin/env bash
# Regenerates the MPEG audio test files in this folder from synthesized signals.
# Needs sox, lame, twolame and ffmpeg (apt-get install sox lame twolame ffmpeg). Run it from anywhere:
#   tests/data/make-test-files.sh
# sox runs with -R (fixed random seed) and -D (no dither), so the same tool versions write the
# same bytes every time. README.md lists what each file is and how many frames libmad decodes.
set -euo pipefail

out=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in sox lame twolame ffmpeg; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

synth() { # synth <wav> <rate> <channels> <seconds> <generator args...>
  local wav=$1 rate=$2 channels=$3 seconds=$4
  shift 4
  sox -R -D -n -r "$rate" -c "$channels" -b 16 "$wav" synth "$seconds" "$@"
}

# Layer III, 44.1 kHz stereo, 128 kbit/s CBR, with lame's info frame in front.
synth "$work/a.wav" 44100 2 3 sine 440 sine 660 gain -6
lame --quiet -b 128 --cbr "$work/a.wav" "$out/l3_44k1_stereo_128k.mp3"

# The same signal without the info frame, so every frame carries audio.
lame --quiet -t -b 128 --cbr "$work/a.wav" "$out/l3_44k1_stereo_128k_notag.mp3"

# Layer III, 22.05 kHz mono, 64 kbit/s (MPEG-2: 576 samples a frame).
synth "$work/b.wav" 22050 1 2 sine 300-3000 gain -6
lame --quiet -t -m m -b 64 --cbr "$work/b.wav" "$out/l3_22k05_mono_64k.mp3"

# Layer III, 48 kHz stereo, 320 kbit/s.
synth "$work/c.wav" 48000 2 2 sine 1000 pinknoise gain -9
lame --quiet -t -b 320 --cbr "$work/c.wav" "$out/l3_48k_stereo_320k.mp3"

# Layer III, 32 kHz stereo, VBR (its info frame stays: VBR files carry one).
synth "$work/d.wav" 32000 2 3 sine 100-8000 whitenoise gain -12
lame --quiet -V 2 "$work/d.wav" "$out/l3_32k_stereo_vbr.mp3"

# Layer II, 48 kHz stereo, 192 kbit/s.
synth "$work/e.wav" 48000 2 2 sine 523 sine 784 gain -6
twolame --quiet -b 192 -m s "$work/e.wav" "$out/l2_48k_stereo_192k.mp2"

# Layer II, 32 kHz mono, 64 kbit/s.
synth "$work/f.wav" 32000 1 2 square 250 gain -12
twolame --quiet -b 64 -m m "$work/f.wav" "$out/l2_32k_mono_64k.mp2"

# Layer II, 44.1 kHz mono, 192 kbit/s: pink noise band-limited to 20 Hz - 16 kHz, for the
# comparison of Smooth playback's rate conversion with sox's (measure-sox.sh).
synth "$work/p.wav" 44100 1 1.5 pinknoise sinc 20-16000 gain -9
twolame --quiet -b 192 -m m "$work/p.wav" "$out/l2_44k1_mono_pink.mp2"

# Layer III with an ID3v2 tag in front and an ID3v1 tag at the end.
synth "$work/g.wav" 44100 2 2 sine 880 sine 220 gain -6
lame --quiet -t -b 128 --cbr --add-id3v2 --tt "Vintrove test tone" --ta "Vintrove" \
  --tl "Test data" --ty 2024 --tc "synthesized" "$work/g.wav" "$out/l3_44k1_stereo_id3.mp3"

# Layer III, MPEG-2 (22.05 kHz) stereo VBR, with LAME's info frame and tag.
synth "$work/h.wav" 22050 2 3 sine 200-2000 sine 500 gain -8
lame --quiet -V 4 "$work/h.wav" "$out/l3_22k05_stereo_vbr.mp3"

# Written by ffmpeg (libmp3lame): its ID3v2.4 tag in front, its Info frame with a LAME tag.
synth "$work/i.wav" 44100 2 2 sine 330 sine 550 gain -6
ffmpeg -v error -y -bitexact -i "$work/i.wav" -c:a libmp3lame -b:a 128k "$out/l3_44k1_stereo_ffmpeg.mp3"

notag="$out/l3_44k1_stereo_128k_notag.mp3"
size=$(stat -c %s "$notag")

# Cut inside the last frame: 417- or 418-byte frames at 128 kbit/s, so 200 bytes off the end
# leaves the last frame about half there.
head -c $((size - 200)) "$notag" >"$out/l3_truncated.mp3"

# 600 random bytes written over about a frame and a half in the middle.
sox -R -D -n -t raw -r 8000 -c 1 -e unsigned -b 8 "$work/noise.bin" synth 1 whitenoise
cp "$notag" "$out/l3_garbage.mp3"
head -c 600 "$work/noise.bin" |
  dd of="$out/l3_garbage.mp3" bs=1 seek=$((size / 2)) conv=notrunc status=none

# Not MPEG audio at all.
printf 'This is a plain text file, not MPEG audio.\nVintrove must decode nothing from it.\n' \
  >"$out/not_mpeg.txt"
# A wave file: its samples hold byte pairs that look like MPEG sync words.
synth "$out/not_mpeg.wav" 22050 1 0.5 sine 220 gain -3
tail -c 4000 "$work/noise.bin" >"$out/random_bytes.mp3"
: >"$out/empty.mp3"

ls -l "$out"
