#!/usr/bin/env bash
# Installs the Debian 12 packages the editor needs to build, run and test,
# but only those that are missing. Safe to run again. "scripts/setup.sh fuzz"
# adds clang and its libFuzzer runtime for the fuzz targets.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6serialport6-dev
  qt6-qpa-plugins libqt6svg6 libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth stm32flash
  desktop-file-utils appstream dpkg-dev file
  fonts-liberation fonts-dejavu-core
)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
else
  as_root=(sudo)
fi
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
