#!/usr/bin/env bash
# The Debian package made by CPack from the built tree: its control fields (the run-time
# dependencies, including the codec libraries the module loads by name), its file list, and
# sova-host run from the unpacked files with an empty LD_LIBRARY_PATH.
# usage: check_package.sh CPACK BUILD_DIR LIBDIR VERSION
set -euo pipefail
cpack="$1" build="$2" libdir="$3" version="$4"
. "$(dirname "$0")/audio.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
debs=("$work"/sovamp2_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "no single sovamp2_${version}_*.deb" >&2; exit 1; }
deb="${debs[0]}"

expect "$(dpkg-deb -f "$deb" Package Version Architecture)" '^Package: sovamp2$' "^Version: $version$" \
  "^Architecture: $(dpkg --print-architecture)$"
# One name per line, without version constraints.
depends="$(dpkg-deb -f "$deb" Depends | sed 's/^Depends: //; s/ *([^)]*)//g' | tr ',' '\n' | tr -d ' ')"
expect "$depends" '^libmpg123-0$' '^libtwolame0$' '^libqt6widgets6$' '^libqt6gui6$' '^libqt6core6$' \
  '^libsndfile1$' '^libsoxr0$' '^libfmt[0-9]+$' '^libpugixml1v5$' '^libstdc\+\+6$' '^libc6$'
if grep -Eq 'sova|-dev$' <<<"$depends"; then echo "unexpected dependency in: $depends" >&2; exit 1; fi

files="$(dpkg-deb -c "$deb" | awk '{print $6}')"
expect "$files" '^\./usr/bin/sova-host$' "^\./usr/$libdir/libsovaframework\.so\.0\$" \
  "^\./usr/$libdir/libsovaframework\.so\.[0-9.]+\$" "^\./usr/$libdir/sova/plug-ins/SovaMp2\.sova\$" \
  '^\./usr/include/sova/Sdk\.h$' '^\./usr/include/sova/Version\.h$' \
  '^\./usr/share/cmake/SovaSdk/SovaSdkConfig\.cmake$' '^\./usr/share/cmake/SovaSdk/SovaSdkConfigVersion\.cmake$' \
  '^\./usr/share/pkgconfig/sova-sdk\.pc$' '^\./usr/share/man/man1/sova-host\.1\.gz$' \
  '^\./usr/share/doc/sovamp2/README\.md$' '^\./usr/share/doc/sovamp2/SDK\.md$'
if grep -Ev '^\./usr/' <<<"$files" | grep -v '^\./$'; then echo "files outside /usr" >&2; exit 1; fi
if grep -q 'libsovaframework\.so$' <<<"$files"; then echo "development link packaged" >&2; exit 1; fi

dpkg-deb -x "$deb" "$work/root"
make_audio "$work"
cd "$work"
expect "$(LD_LIBRARY_PATH='' "$work/root/usr/bin/sova-host" info tone.mp2)" \
  'description: +MPEG-1 Audio Layer II, 192 kbps' 'sample rate: +44100 Hz' 'channels: +2'
echo "package $(basename "$deb"): fields, files and unpacked sova-host ok"
