#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every ELF file the packages install is built with Debian's hardening: PIE (executables), the
# stack protector, fortified libc calls, read-only relocations and immediate binding (BIND_NOW),
# as hardening-check (devscripts) reports them. Control-flow protection is not among Debian 12's
# defaults and is not required.
# usage: check_hardening.sh DIR   (DIR as make_packages.sh left it)
set -euo pipefail
root="$1/root"
elves=()
while IFS= read -r -d '' file; do
  [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] && elves+=("$file")
done < <(find "$root" -type f -print0)
[ ${#elves[@]} -ge 3 ] || { echo "expected at least 3 ELF files, found ${#elves[@]}: ${elves[*]}" >&2; exit 1; }
hardening-check --nocfprotection "${elves[@]}" || { echo "not hardened (see above)" >&2; exit 1; }
# hardening-check takes either flag for immediate binding; name the one ld writes for -z now.
for elf in "${elves[@]}"; do
  readelf -d "$elf" | grep -Eq 'FLAGS.*\bNOW\b' || { echo "no BIND_NOW in $elf" >&2; exit 1; }
done
echo "hardened: ${#elves[@]} ELF files"
