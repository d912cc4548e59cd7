#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# An installed sova-host loads only its own tree's module (or --module): no absolute path from
# build time is in any installed file, and a module planted where a build tree's or the old
# search's path would be is never loaded, even with the installed module gone. A planted module
# writes a marker file when it is loaded. As a control, the same program with a CMakeFiles folder
# beside it (a build folder) does take the planted build-tree module.
# usage: check_module_search.sh DIR LIBDIR BUILD_DIR SOURCE_DIR CC   (DIR as make_packages.sh left it)
set -euo pipefail
dir="$1" libdir="$2" build="$3" source="$4" cc="$5"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -a "$dir/root" "$work/root"
host="$work/root/usr/bin/sova-host"
installed="$work/root/usr/$libdir/sova/plug-ins/SovaMp2.sova"

if grep -rlF -e "$build" -e "$source" "$work/root/usr/bin" "$work/root/usr/lib"; then
  echo "installed files name a folder of the build" >&2; exit 1
fi

marker="$work/planted-module-was-loaded"
cat >"$work/planted.c" <<C
#include <stdio.h>
__attribute__((constructor)) static void planted(void) { FILE* f = fopen("$marker", "w"); if (f) fclose(f); }
__attribute__((visibility("default"))) int SovaInterface(int selector, void* handle, void* request) { return -1; }
C
"$cc" -shared -fPIC -o "$work/planted.sova" "$work/planted.c"
# Where the old search looked: beside the executable, and the build tree relative to it.
mkdir -p "$work/root/plugin"
cp "$work/planted.sova" "$work/root/usr/bin/SovaMp2.sova"
cp "$work/planted.sova" "$work/root/plugin/SovaMp2.sova"
mkdir "$work/elsewhere"
cd "$work/elsewhere"
cp "$work/planted.sova" SovaMp2.sova # and the current folder

# 1. With its module: the installed one, and only that.
loaded="$(LD_LIBRARY_PATH='' LD_DEBUG=files "$host" register 2>&1)" || true
[ ! -e "$marker" ] || { printf 'a planted module was loaded:\n%s\n' "$loaded" >&2; exit 1; }
grep -q "calling init: $installed\$" <<<"$loaded" || { printf 'the installed module was not loaded:\n%s\n' "$loaded" >&2; exit 1; }
# 2. Without it: a failure that names the installed place, and nothing else loaded.
mv "$installed" "$work/kept.sova"
status=0
loaded="$(LD_LIBRARY_PATH='' LD_DEBUG=files "$host" register 2>&1)" || status=$?
[ "$status" -ne 0 ] || { printf 'sova-host succeeded without its module:\n%s\n' "$loaded" >&2; exit 1; }
[ ! -e "$marker" ] || { printf 'a planted module was loaded:\n%s\n' "$loaded" >&2; exit 1; }
grep -qF "$installed" <<<"$loaded" || { printf 'the failure does not name %s:\n%s\n' "$installed" "$loaded" >&2; exit 1; }
if grep -E 'file=.*\.sova' <<<"$loaded" | grep -v "file=$installed"; then echo "another module was opened" >&2; exit 1; fi

# 3. Control: as a build folder (CMakeFiles beside the program) it takes the build tree's module.
mkdir "$work/root/usr/bin/CMakeFiles"
LD_LIBRARY_PATH='' "$host" register >/dev/null 2>&1 || true
[ -e "$marker" ] || { echo "the control failed: the build-tree module was not loaded from a build folder" >&2; exit 1; }
echo "installed sova-host: loads only its own module; planted modules untouched"
