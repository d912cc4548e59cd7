#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The host author's guide lists every operation of the request classes with its exact signature:
# each `virtual` declaration in the SDK headers (placeholders aside) appears in sdk/README.md as
# written there, with parameter names and without the comment markers of unused parameters.
# usage: check_guide_operations.sh SDK_DIR
set -euo pipefail
sdk="$1"
missing=0 count=0
while IFS= read -r declaration; do
  count=$((count + 1))
  grep -qF -- "\`$declaration\`" "$sdk/README.md" || { echo "not in the guide: $declaration" >&2; missing=1; }
done < <(sed -n 's/^ *virtual \(.*)\) *\(= 0\|{.*}\);\{0,1\}.*$/\1/p' "$sdk"/include/sova/Host*.h |
         grep -v 'Reserved[0-9]' | sed 's|/\*\([a-zA-Z]*\)\*/|\1|g')
[ "$count" -ge 40 ] || { echo "only $count declarations read from the headers" >&2; exit 1; }
[ "$missing" -eq 0 ] && echo "guide: all $count operations of the request classes, as declared"
