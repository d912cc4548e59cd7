#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# cmake --install into a temporary prefix, then use the tree as host authors and users do:
#  1. the layout, the framework's SONAME and the relative RUNPATHs;
#  2. examples/minimal-host built against it with find_package(SovaSdk) and with pkg-config,
#     both run on a real MP2 and a real WAV;
#  3. the tree moved elsewhere, its sova-host run from another folder with an empty
#     LD_LIBRARY_PATH: it must load its own framework and module.
# usage: check_install.sh CMAKE BUILD_DIR EXAMPLE_DIR CXX LIBDIR
set -euo pipefail
cmake="$1" build="$2" example="$3" cxx="$4" libdir="$5"
. "$(dirname "$0")/audio.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
plugins="$libdir/sova/plug-ins"

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for file in bin/sova-host "$libdir/sova/libsovaframework.so.0" "$plugins/SovaMp2.sova" include/sova/Sdk.h \
            include/sova/Version.h "$libdir/cmake/SovaSdk/SovaSdkConfig.cmake" "$libdir/pkgconfig/sova-sdk.pc" \
            share/man/man1/sova-host.1.gz share/doc/sovamp2/README.md share/doc/sovamp2/copyright \
            share/doc/sovamp2-dev/SDK.md share/doc/sovamp2-dev/copyright; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
[ ! -e "$prefix/$libdir/sova/libsovaframework.so" ] || { echo "development link installed" >&2; exit 1; }
expect "$(readelf -d "$prefix/$libdir/sova/libsovaframework.so.0")" 'SONAME.*\[libsovaframework\.so\.0\]'
expect "$(readelf -d "$prefix/bin/sova-host")" "RUNPATH.*\[\\\$ORIGIN/\.\./$libdir/sova\]"
expect "$(readelf -d "$prefix/$plugins/SovaMp2.sova")" 'RUNPATH.*\[\$ORIGIN/\.\.\]' 'NEEDED.*libsovaframework\.so\.0'
# The man page names no folder of the build tree (help2man writes "-" as "\-").
manual="$(zcat "$prefix/share/man/man1/sova-host.1.gz" | tr -d '\\')"
expect "$manual" '^\.TH SOVA-HOST "1"' '^\.SH FILES'
# Every command's options, each command a subsection of COMMANDS.
expect "$manual" '^\.SH COMMANDS' '^\.SS info$' '^\.SS decode$' '^\.SS encode$' '^\.SS convert$' \
  '^fB--jsonfR$' '^fB--keep-goingfR$' '^fB-bfR,--bitrate ' '^fB-OfR,--output-dir ' '^fB-rfR,--recursive$'
if command -v man >/dev/null; then # rendered as man shows it, without a formatter's warning
  shown="$(MANWIDTH=100 man --warnings -l "$prefix/share/man/man1/sova-host.1.gz" 2>"$work/man.err")"
  expect "$shown" '^COMMANDS$' '^   encode$' '^       -b,--bitrate ' '^       -O,--output-dir '
  if [ -s "$work/man.err" ]; then cat "$work/man.err" >&2; exit 1; fi
fi
if grep -qF "$build" <<<"$manual"; then echo "the man page names $build" >&2; exit 1; fi

make_audio "$work"
module="$prefix/$plugins/SovaMp2.sova"

# 2a. find_package(SovaSdk) in a separate CMake project
"$cmake" -S "$example" -B "$work/example" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
"$cmake" --build "$work/example" >/dev/null
# 2b. pkg-config, one compiler command
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
# shellcheck disable=SC2046 # the flags are words
"$cxx" -std=c++17 $(pkg-config --cflags sova-sdk) "$example/main.cpp" -o "$work/minimal-host-pc" $(pkg-config --libs sova-sdk)
[ "$(pkg-config --modversion sova-sdk)" = "$(sed -n 's/^#define SOVA_SDK_VERSION_\(MAJOR\|MINOR\|PATCH\) //p' "$prefix/include/sova/Version.h" | paste -sd.)" ]
pc_module="$(pkg-config --variable=plugindir sova-sdk)/SovaMp2.sova"

for host in "$work/example/minimal-host" "$work/minimal-host-pc"; do
  name="$(basename "$host")"
  expect "$("$host" "$module" "$work/tone.mp2")" '^format: +MP2 Audio \(\.mp2\)' \
    '^description: +MPEG-1 Audio Layer II, 192 kbps' '^sample rate: +44100 Hz' '^channels: +2$' \
    '^samples: +format code 40' '^settings: +.*BitsPerSecond:0:192;' '^decoded: +88[0-9]{3} frames'
  expect "$("$host" "$pc_module" "$work/tone.wav" "$work/$name.mp2")" '^save format: ' "^saved: .*$name.mp2 \(88200 frames\)"
  expect "$("$host" "$module" "$work/$name.mp2")" '^description: +MPEG-1 Audio Layer II, 192 kbps' '^channels: +2$'
  mpg123 -q -t "$work/$name.mp2" # the reference decoder reads what the module wrote
done

# 3. moved, run from elsewhere with an empty LD_LIBRARY_PATH
mv "$prefix" "$work/moved"
mkdir "$work/elsewhere"
cd "$work/elsewhere"
expect "$("$work/moved/bin/sova-host" --version)" '^sova-host [0-9]+\.[0-9]+\.[0-9]+'
loaded="$(LD_LIBRARY_PATH='' LD_DEBUG=libs "$work/moved/bin/sova-host" info ../tone.mp2 2>&1)"
expect "$loaded" "calling init: $work/moved/bin/\.\./$libdir/sova/libsovaframework\.so\.0" \
  "calling init: $work/moved/$plugins/SovaMp2\.sova" 'description: +MPEG-1 Audio Layer II, 192 kbps' 'sample rate: +44100 Hz'
echo "installed tree, SDK package, example host and relocated sova-host: ok"
