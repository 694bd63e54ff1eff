#!/usr/bin/env bash
# Installs from Debian's packages everything the build, the tests and the benchmarks need.
# Does nothing when all of it is already there, so it is safe to call before every build.
set -euo pipefail

packages=(
  cmake ninja-build g++ gcc pkg-config ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libdbd-xbase-perl python3 python3-dbfread
  tshark
  clang-format
  clang libclang-rt-14-dev
  qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools libgl-dev fonts-dejavu-core
  libx11-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
