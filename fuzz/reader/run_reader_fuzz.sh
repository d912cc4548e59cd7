#!/bin/sh
# SPDX-License-Identifier: MIT
# A short reader fuzz run: run_reader_fuzz.sh FUZZER RUNS [LIBFUZZER OPTION...]. Seeds are a few
# small MPEG audio files made by the reference encoders, in a folder of its own that is removed
# at the end (so the fuzzer runs as a child, not through exec, which would drop the trap).
set -eu
fuzzer=$1
runs=$2
shift 2
work=$(mktemp -d "${TMPDIR:-/tmp}/sova-reader-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 129' HUP INT TERM # the EXIT trap then runs too
mkdir "$work/corpus" "$work/seeds"
if command -v ffmpeg >/dev/null && command -v twolame >/dev/null; then
    ffmpeg -nostdin -v error -f lavfi -i "aevalsrc=exprs='0.4*sin(2*PI*440*t)|0.3*sin(2*PI*660*t)':s=44100:d=0.1" \
        -c:a pcm_s16le "$work/s.wav"
    ffmpeg -nostdin -v error -f lavfi -i "aevalsrc=exprs='0.4*sin(2*PI*440*t)':s=22050:d=0.2" -c:a pcm_s16le "$work/m.wav"
    twolame --quiet -m j -b 128 -p "$work/s.wav" "$work/seeds/joint.mp2"
    twolame --quiet -m m -b 32 "$work/m.wav" "$work/seeds/lsf-mono.mp2"
    ffmpeg -nostdin -v error -i "$work/s.wav" -c:a libmp3lame -b:a 64k "$work/seeds/lame.mp3"
fi
"$fuzzer" -runs="$runs" -seed=1 -max_len=16384 -rss_limit_mb=2048 "$@" "$work/corpus" "$work/seeds"
