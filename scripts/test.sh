#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds what is missing and runs the whole test suite twice: in the main build (g++), then
# in the AddressSanitizer + UndefinedBehaviorSanitizer build (clang), which adds short fuzz runs;
# last, the thread tests in the ThreadSanitizer build (clang).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export QT_QPA_PLATFORM=offscreen

"$root/scripts/build.sh" main
ctest --test-dir "$root/build" --output-on-failure --timeout 1200 -j"$(nproc)"

"$root/scripts/build.sh" sanitize
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ASAN_OPTIONS=detect_leaks=1 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure --timeout 1200 -j"$(nproc)" -LE boundary
# The boundary tests load the module into a host that does not link the framework, so closing the
# module also unloads system libraries (libgomp) whose start-up allocations LeakSanitizer then
# reports without a name to suppress them by; run them with leak detection off.
ASAN_OPTIONS=detect_leaks=0 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure --timeout 1200 -j"$(nproc)" -L boundary

"$root/scripts/build.sh" tsan
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$root/build-tsan" --output-on-failure --timeout 1200 -j"$(nproc)"
