#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Host authors with the unpacked sovamp2 and sovamp2-dev packages: the example host shipped in
# the -dev package's documentation, built with find_package(SovaSdk), and a second host written
# from the guide alone (guide-host/), built with pkg-config, both run on real files.
# usage: check_dev_package.sh DIR CMAKE CXX LIBDIR GUIDE_HOST_DIR   (DIR as make_packages.sh left it)
set -euo pipefail
dir="$1" cmake="$2" cxx="$3" libdir="$4" guide="$5"
. "$(dirname "$0")/audio.sh"
usr="$dir/root/usr"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
make_audio "$work"
module="$usr/$libdir/sova/plug-ins/SovaMp2.sova"

# The example, from where the package puts it.
"$cmake" -S "$usr/share/doc/sovamp2-dev/examples/minimal-host" -B "$work/example" -G Ninja \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$usr" >/dev/null
"$cmake" --build "$work/example" >/dev/null
example="$work/example/minimal-host"
expect "$("$example" "$module" "$work/tone.mp2")" '^description: +MPEG-1 Audio Layer II, 192 kbps' \
  '^sample rate: +44100 Hz' '^channels: +2$' '^decoded: +88[0-9]{3} frames'
expect "$("$example" "$module" "$work/tone.wav" "$work/example.mp2")" "^saved: .*example\.mp2 \(88200 frames\)"
mpg123 -q -t "$work/example.mp2"
status=0
refused="$("$example" "$module" "$(printf '%s/bad\377name.mp2' "$work")" 2>&1)" || status=$?
[ "$status" -eq 1 ] || { printf 'a name that is not UTF-8 was not refused (status %s):\n%s\n' "$status" "$refused" >&2; exit 1; }
expect "$refused" 'the name is not UTF-8'

# The guide's host: the plug-in folder and the flags from pkg-config.
export PKG_CONFIG_PATH="$usr/$libdir/pkgconfig"
plugindir="$(pkg-config --variable=plugindir sova-sdk)"
[ "$(cd "$plugindir" && pwd -P)" = "$(cd "$(dirname "$module")" && pwd -P)" ] || { echo "plugindir is $plugindir" >&2; exit 1; }
# shellcheck disable=SC2046 # the flags are words
"$cxx" -std=c++17 -Wall -Wextra -Werror $(pkg-config --cflags sova-sdk) -DSOVA_PLUGIN_DIR="\"$plugindir\"" \
  "$guide/guide_host.cpp" -o "$work/guide_host" $(pkg-config --libs sova-sdk)
expect "$("$work/guide_host" "$work/tone.mp2")" '^description: MPEG-1 Audio Layer II, 192 kbps' '^rate: 44100$' \
  '^channels: 2$' '^frames: 88[0-9]{3}$'
expect "$("$work/guide_host" "$work/example.mp2")" '^channels: 2$'
# What selector 5's -1 cannot say, the host's own check does.
expect "$("$work/guide_host" "$work/missing.mp2" 2>&1 || true)" 'no such file or cannot read it'
printf 'plain text, no audio\n' >"$work/text.mp2"
expect "$("$work/guide_host" "$work/text.mp2" 2>&1 || true)" '^guide_host: not MPEG audio$'
echo "example host and the guide's host: built on the -dev package and ran"
