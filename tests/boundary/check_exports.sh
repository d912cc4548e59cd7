#!/usr/bin/env bash
# A module's dynamic symbol table may define SovaInterface as its only function of ours: every
# other defined function must be the C++ library's (std::, __gnu_cxx::) or the loader's
# (_init, _fini). Data symbols of ours are allowed only for SovaModuleResources.
set -euo pipefail
module="$1"
symbols="$(nm -D --defined-only "$module")"
status=0
found_entry=0
while read -r _address type name; do
  [ -n "${name:-}" ] || continue
  plain="${name%%@*}"
  demangled="$(printf '%s\n' "$plain" | c++filt)"
  case "$plain" in
    SovaInterface) [ "$type" = T ] && found_entry=1; continue ;;
    _init|_fini|_edata|_end|__bss_start) continue ;;
    SovaModuleResources) case "$type" in [DdRrBbV]) continue ;; esac ;;
  esac
  case "$demangled" in
    std::*|__gnu_cxx::*|"typeinfo for std::"*|"typeinfo name for std::"*|"vtable for std::"*|"guard variable for std::"*) continue ;;
  esac
  echo "unexpected exported symbol: $type $demangled" >&2
  status=1
done <<< "$symbols"
if [ "$found_entry" -ne 1 ]; then
  echo "SovaInterface is not exported as a function" >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "exports of $(basename "$module"): SovaInterface only"
exit "$status"
