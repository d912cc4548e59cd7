#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the Debian packages from the built tree into DIR and unpacks both into DIR/root, for the
# install checks that read them.
# usage: make_packages.sh CPACK BUILD_DIR DIR VERSION
set -euo pipefail
cpack="$1" build="$2" dir="$3" version="$4"
rm -rf "$dir"
mkdir -p "$dir"
"$cpack" --config "$build/CPackConfig.cmake" -B "$dir" >/dev/null
rm -rf "$dir/_CPack_Packages"
arch="$(dpkg --print-architecture)"
for package in sovamp2 sovamp2-dev; do
  deb="$dir/${package}_${version}_$arch.deb"
  [ -f "$deb" ] || { echo "not made: $(basename "$deb")" >&2; ls "$dir" >&2; exit 1; }
  dpkg-deb -x "$deb" "$dir/root"
done
[ "$(find "$dir" -maxdepth 1 -name '*.deb' | wc -l)" -eq 2 ] || { echo "more packages than two:" >&2; ls "$dir" >&2; exit 1; }
echo "made and unpacked: $(cd "$dir" && echo *.deb)"
