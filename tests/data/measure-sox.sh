#!/usr/bin/env bash
# Writes sox's answer that Smooth playback's rate conversion is held to: the pink noise of
# l2_44k1_mono_pink.mp2 as mpg123 decodes it, converted by `sox rate -v` (very high quality,
# linear phase) to the rate a 48 kHz host plays it at. That rate is not 48000 exactly: at pitch 0
# the player steps 0.91875 as a 32-bit float, 15414067 / 2^24 = 0.918749988079071 file frames an
# output frame, which is an output rate of 44100 / 0.918749988079071 = 48000.000622807725 Hz.
# Output frame n lies at input time n / 48000.000622807725 s, as playback's does from frame 0.
# Keeps the first 32768 output frames as little-endian float32, mono:
# l2_44k1_mono_pink.sox-rate-v.f32. Needs mpg123 and sox; run it from anywhere.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mpg123 -q -e f32 -s l2_44k1_mono_pink.mp2 >"$work/decoded.f32"
sox -t f32 -r 44100 -c 1 "$work/decoded.f32" -t f32 "$work/converted.f32" rate -v 48000.000622807725
head -c $((32768 * 4)) "$work/converted.f32" >l2_44k1_mono_pink.sox-rate-v.f32
sox --version
mpg123 --version
ls -l l2_44k1_mono_pink.sox-rate-v.f32
