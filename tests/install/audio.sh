# SPDX-License-Identifier: MIT
# Sourced by the install tests: make_audio DIR writes DIR/tone.wav (2 s, 16-bit stereo, 44100 Hz,
# by ffmpeg) and DIR/tone.mp2 (the same at 192 kbit/s, by twolame).
make_audio() {
  ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=2" -f lavfi -i "sine=frequency=660:duration=2" \
    -filter_complex "[0:a][1:a]join=inputs=2:channel_layout=stereo" -ar 44100 -c:a pcm_s16le "$1/tone.wav"
  twolame --quiet -b 192 "$1/tone.wav" "$1/tone.mp2"
}

# expect TEXT PATTERN...: fails the test unless TEXT has a line matching each (grep -E) pattern.
expect() {
  local text="$1" pattern
  shift
  for pattern in "$@"; do
    grep -Eq -- "$pattern" <<<"$text" || { printf 'missing: %s\nin:\n%s\n' "$pattern" "$text" >&2; exit 1; }
  done
}
