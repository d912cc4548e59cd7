#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the main tree and makes the Debian packages from it: build/package/sovamp2_<version>_<arch>.deb
# (the runtime) and build/package/sovamp2-dev_<version>_<arch>.deb (the SDK).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" main >/dev/null
cpack --config "$root/build/CPackConfig.cmake" -B "$root/build/package"
