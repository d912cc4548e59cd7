#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures (once) and builds a tree incrementally.
#   build.sh            the main build in build/ (g++), without the benchmarks (-DSOVA_BUILD_BENCH=ON adds them)
#   build.sh sanitize   ASan+UBSan build with the fuzz targets in build-sanitize/ (clang)
#   build.sh tsan       ThreadSanitizer build of the thread tests and what they load, in build-tsan/ (clang)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

kind="${1:-main}"
targets=() # all
case "$kind" in
  main)
    dir="$root/build"
    [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    ;;
  sanitize)
    dir="$root/build-sanitize"
    [ -f "$dir/CMakeCache.txt" ] || CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja \
      -DCMAKE_BUILD_TYPE=Debug -DSOVA_SANITIZE=ON -DSOVA_FUZZ=ON -DSOVA_BUILD_BENCH=OFF >/dev/null
    ;;
  tsan)
    dir="$root/build-tsan"
    [ -f "$dir/CMakeCache.txt" ] || CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja \
      -DCMAKE_BUILD_TYPE=Debug -DSOVA_TSAN=ON -DSOVA_BUILD_BENCH=OFF >/dev/null
    targets=(--target thread_tests) # the module and the host objects come with it; nothing else is needed
    ;;
  *) echo "usage: build.sh [main|sanitize|tsan]" >&2; exit 2 ;;
esac
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
