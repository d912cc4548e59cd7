#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The module's dynamic symbol table may define SovaInterface as its only function of ours; the
# rest must be the C++ library's or the loader's. SovaModuleResources is the one data symbol.
set -euo pipefail
status=0
found_entry=0
while read -r _address type name; do
  [ -n "$name" ] || continue
  plain="${name%%@*}"
  case "$plain" in
    SovaInterface) [ "$type" = T ] && found_entry=1; continue ;;
    _init|_fini|_edata|_end|__bss_start) continue ;;
    SovaModuleResources) case "$type" in [DdRrBbV]) continue ;; esac ;;
  esac
  demangled="$(printf '%s\n' "$plain" | c++filt)"
  case "$demangled" in
    std::*|__gnu_cxx::*|"typeinfo for std::"*|"typeinfo name for std::"*|"vtable for std::"*|"guard variable for std::"*) continue ;;
  esac
  echo "unexpected exported symbol: $type $demangled" >&2
  status=1
done < <(nm -D --defined-only "$1")
[ "$found_entry" -eq 1 ] || { echo "SovaInterface is not exported as a function" >&2; status=1; }
[ "$status" -eq 0 ] && echo "exports of $(basename "$1"): SovaInterface only"
exit "$status"
