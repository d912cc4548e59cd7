#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# lintian on both packages: no error and no warning (informational tags are listed, not failed).
# usage: check_lintian.sh DIR   (DIR as make_packages.sh left it)
set -euo pipefail
dir="$1"
debs=("$dir"/*.deb)
# lintian warns that it runs as root (CI does); that line is not about the packages.
status=0
report="$(lintian --fail-on error,warning "${debs[@]}" 2>&1)" || status=$?
report="$(grep -v '^running with root privileges is not recommended!$' <<<"$report" || true)"
[ -z "$report" ] || printf '%s\n' "$report"
if [ "$status" -ne 0 ] || grep -q '^[EW]: ' <<<"$report"; then
  echo "lintian: errors or warnings in ${debs[*]##*/} (status $status)" >&2
  exit 1
fi
echo "lintian: no error, no warning in ${debs[*]##*/}"
