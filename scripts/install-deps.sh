#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build, the demo and the tests need, if any is missing.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ clang libclang-rt-14-dev ccache
  libgtest-dev libgmock-dev
  libmpg123-dev libtwolame-dev libmpg123-0 libtwolame0
  libpugixml-dev libsndfile1-dev libcli11-dev libfmt-dev libsoxr-dev libebur128-dev qt6-base-dev
  twolame mpg123 ffmpeg
  help2man dpkg-dev file
  lintian devscripts # the install tests: lintian, hardening-check
  fontconfig fonts-dejavu-core fonts-dejavu-extra
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages; run as root (apt-get install needs it): ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
