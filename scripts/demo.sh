#!/usr/bin/env bash
# The main job, end to end: real audio through the plug-in both ways.
#  1. start the module and show what it binds and registers;
#  2. make a stereo WAV, encode it to MP2 through the module, show what it negotiated;
#  3. read the MP2 back through the module: describe it and decode it to WAV;
#  4. do the same with an MP2 made by the reference encoder (twolame).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" main >/dev/null
host="$root/build/tools/sova-host/sova-host"
work="$root/build/demo"
mkdir -p "$work"

step() { printf '\n== %s\n' "$*"; }

step "Start-up: the module loads libmpg123 and TwoLAME and registers its format"
"$host" --trace startup

step "A 10-second stereo test signal (ffmpeg)"
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=10" -f lavfi -i "sine=frequency=660:duration=10" \
  -filter_complex "[0:a][1:a]join=inputs=2:channel_layout=stereo,volume=0.5" -ar 44100 -c:a pcm_s16le "$work/tones.wav"
ls -l "$work/tones.wav"

step "Encode through the module: WAV -> MP2 (joint stereo, 128 kbit/s)"
"$host" encode "$work/tones.wav" "$work/tones.mp2" -b 128 -m j

step "Read it back through the module"
"$host" info "$work/tones.mp2"
"$host" decode "$work/tones.mp2" "$work/tones-decoded.wav"

step "An MP2 made by the reference encoder (twolame), read through the module"
twolame --quiet -b 192 "$work/tones.wav" "$work/tones-twolame.mp2"
"$host" info "$work/tones-twolame.mp2"
"$host" decode "$work/tones-twolame.mp2" "$work/tones-twolame-decoded.wav"

step "Done: files in $work"
ls -l "$work"
