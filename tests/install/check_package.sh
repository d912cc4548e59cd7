#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The two Debian packages: their control fields (the runtime's dependencies, including the codec
# libraries the module loads by name; the -dev package on exactly this runtime), their file
# lists (runtime and SDK apart, the framework library private), the licence, copyright file and
# changelog in each, and sova-host run from the unpacked files with an empty LD_LIBRARY_PATH.
# usage: check_package.sh DIR LIBDIR VERSION   (DIR as make_packages.sh left it)
set -euo pipefail
dir="$1" libdir="$2" version="$3"
. "$(dirname "$0")/audio.sh"
arch="$(dpkg --print-architecture)"
runtime="$dir/sovamp2_${version}_$arch.deb" dev="$dir/sovamp2-dev_${version}_$arch.deb"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Dependencies, one name per line without version constraints.
depends_of() { dpkg-deb -f "$1" Depends | sed 's/ *([^)]*)//g' | tr ',|' '\n\n' | tr -d ' '; }
expect "$(dpkg-deb -f "$runtime" Package Version Architecture Section)" '^Package: sovamp2$' "^Version: $version$" \
  "^Architecture: $arch$" '^Section: sound$'
depends="$(depends_of "$runtime")"
expect "$depends" '^libmpg123-0$' '^libtwolame0$' '^libqt6widgets6$' '^libqt6gui6$' '^libqt6core6$' \
  '^libsndfile1$' '^libsoxr0$' '^libfmt[0-9]+$' '^libpugixml1v5$' '^libstdc\+\+6$' '^libc6$'
if grep -Eq 'sova|-dev$' <<<"$depends"; then echo "unexpected dependency in: $depends" >&2; exit 1; fi
expect "$(dpkg-deb -f "$dev" Package Version Architecture Section Depends)" '^Package: sovamp2-dev$' \
  "^Version: $version$" "^Architecture: $arch$" '^Section: libdevel$' "^Depends: .*sovamp2 \(= $version\)"

files_of() { dpkg-deb -c "$1" | awk '{print $6}' | grep -v '/$'; }
runtime_files="$(files_of "$runtime")" dev_files="$(files_of "$dev")"
expect "$runtime_files" '^\./usr/bin/sova-host$' "^\./usr/$libdir/sova/libsovaframework\.so\.0\$" \
  "^\./usr/$libdir/sova/libsovaframework\.so\.[0-9.]+\$" "^\./usr/$libdir/sova/plug-ins/SovaMp2\.sova\$" \
  '^\./usr/share/man/man1/sova-host\.1\.gz$' '^\./usr/share/doc/sovamp2/README\.md$'
expect "$dev_files" '^\./usr/include/sova/Sdk\.h$' '^\./usr/include/sova/Utf16\.h$' '^\./usr/include/sova/Version\.h$' \
  "^\./usr/$libdir/cmake/SovaSdk/SovaSdkConfig\.cmake\$" "^\./usr/$libdir/cmake/SovaSdk/SovaSdkConfigVersion\.cmake\$" \
  "^\./usr/$libdir/pkgconfig/sova-sdk\.pc\$" '^\./usr/share/doc/sovamp2-dev/SDK\.md$' \
  '^\./usr/share/doc/sovamp2-dev/examples/minimal-host/main\.cpp$' \
  '^\./usr/share/doc/sovamp2-dev/examples/minimal-host/CMakeLists\.txt$'
if grep -E '/include/|/cmake/|/pkgconfig/|SDK\.md' <<<"$runtime_files"; then echo "SDK files in the runtime package" >&2; exit 1; fi
if grep -E '/bin/|\.so|\.sova' <<<"$dev_files"; then echo "runtime files in the -dev package" >&2; exit 1; fi
if printf '%s\n%s\n' "$runtime_files" "$dev_files" | grep -v '^\./usr/'; then echo "files outside /usr" >&2; exit 1; fi
if grep -E "^\./usr/$libdir/[^/]+\.so" <<<"$runtime_files"; then echo "a library in the public folder" >&2; exit 1; fi
if grep -q 'libsovaframework\.so$' <<<"$runtime_files"; then echo "development link packaged" >&2; exit 1; fi

# The licence: a machine-readable copyright file (MIT, as "Expat") and a changelog in each.
for package in sovamp2 sovamp2-dev; do
  docs="$dir/root/usr/share/doc/$package"
  expect "$(cat "$docs/copyright")" '^Format: https://www\.debian\.org/doc/packaging-manuals/copyright-format/1\.0/$' \
    '^Files: \*$' '^Copyright: .*The SovaMp2 developers$' '^License: Expat$' 'Permission is hereby granted, free of charge'
  expect "$(zcat "$docs/changelog.gz")" "^sovamp2 \\($version\\) "
done

make_audio "$work"
cd "$work"
expect "$(LD_LIBRARY_PATH='' "$dir/root/usr/bin/sova-host" info tone.mp2)" \
  'description: +MPEG-1 Audio Layer II, 192 kbps' 'sample rate: +44100 Hz' 'channels: +2'
echo "packages $(basename "$runtime") and $(basename "$dev"): fields, files, licence and unpacked sova-host ok"
