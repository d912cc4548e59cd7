#!/usr/bin/env bash
# Builds the main tree and makes the Debian package from it: build/package/sovamp2_<version>_<arch>.deb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" main >/dev/null
cpack --config "$root/build/CPackConfig.cmake" -B "$root/build/package"
