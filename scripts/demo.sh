#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The main job, end to end: real audio through the plug-in both ways.
#  1. start the module and show what it binds and registers;
#  2. make a stereo WAV, show a save-format negotiation, encode the WAV to MP2 through the module;
#  3. read the MP2 back through the module: describe it, verify it to its end and decode it to WAV;
#  4. encode a 5.1 float source, then read an MP2 made by the reference encoder (twolame);
#  5. draw the encoder settings dialog to a PNG.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" main >/dev/null
host="$root/build/tools/sova-host/sova-host"
work="$root/build/demo"
mkdir -p "$work"

step() { printf '\n== %s\n' "$*"; }

step "Start-up: the module loads libmpg123 and TwoLAME and registers its format"
"$host" --trace startup

step "A 10-second stereo test signal (ffmpeg): the same pink noise in both channels, a tone in each"
ffmpeg -v error -y -f lavfi -i "anoisesrc=color=pink:duration=10:amplitude=0.2:seed=7" \
  -f lavfi -i "sine=frequency=440:duration=10" -f lavfi -i "sine=frequency=660:duration=10" \
  -filter_complex "[0:a]asplit=2[n1][n2];[n1][1:a]amix=inputs=2[l];[n2][2:a]amix=inputs=2[r];[l][r]join=inputs=2:channel_layout=stereo" \
  -ar 44100 -c:a pcm_s16le "$work/tones.wav"
ls -l "$work/tones.wav"

step "Negotiation: what the module makes of a 96 kHz, 6-channel proposal at 192 kbit/s"
"$host" conform --rate 96000 --channels 6 || true

step "Encode through the module: WAV -> MP2 (joint stereo, 128 kbit/s)"
"$host" -y encode "$work/tones.wav" "$work/tones.mp2" -b 128 -m j

step "Read it back through the module: what it is, then the whole stream for its exact length and any damage"
"$host" info "$work/tones.mp2"
"$host" info --verify --json "$work/tones.mp2"
"$host" -y decode --bits 16 "$work/tones.mp2" "$work/tones-decoded.wav"

step "A DAB-style mono 24 kHz MPEG-2 file at 64 kbit/s: resampled and downmixed by the host"
"$host" -y encode "$work/tones.wav" "$work/tones-lsf.mp2" --rate 24000 --channels 1 -b 64
"$host" info "$work/tones-lsf.mp2"

step "A 5.1 source in 32-bit float: read at its own precision, downmixed with ITU-R BS.775 (the LFE dropped)"
ffmpeg -v error -y -f lavfi -i "sine=f=440:d=5" -f lavfi -i "sine=f=550:d=5" -f lavfi -i "sine=f=660:d=5" \
  -f lavfi -i "sine=f=60:d=5" -f lavfi -i "sine=f=770:d=5" -f lavfi -i "sine=f=880:d=5" \
  -filter_complex "[0][1][2][3][4][5]join=inputs=6:channel_layout=5.1,volume=12dB[a]" -map "[a]" \
  -ar 48000 -c:a pcm_f32le "$work/surround.wav"
"$host" -y encode "$work/surround.wav" "$work/surround.mp2"

step "Broadcast delivery: loudness, EBU R 128 in a broadcast WAV file, a DAB file checked frame by frame"
"$host" info --loudness "$work/tones.wav"
"$host" -y encode --profile ebu --description "SovaMp2 demo" "$work/tones.wav" "$work/tones-ebu.wav"
"$host" info "$work/tones-ebu.wav"
"$host" -y encode --profile dab "$work/tones.wav" "$work/tones-dab.mp2"
"$host" check --profile dab "$work/tones-dab.mp2"

step "An MP2 made by the reference encoder (twolame), read through the module"
twolame --quiet -b 192 "$work/tones.wav" "$work/tones-twolame.mp2"
"$host" info "$work/tones-twolame.mp2"
"$host" -y decode "$work/tones-twolame.mp2" "$work/tones-twolame-decoded.wav"

step "The encoder settings dialog (Advanced open), drawn offscreen to a picture"
QT_QPA_PLATFORM=offscreen "$host" settings --advanced --png "$work/settings-dialog.png"

step "Done: files in $work"
ls -l "$work"
