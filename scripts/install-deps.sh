#!/usr/bin/env bash
# Installs the Debian packages KORVEX builds with; installs only what is missing,
# so running it again is cheap.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  zlib1g-dev libdeflate-dev
  libpng-dev
  libsuitesparse-dev
  libopenblas-dev
  libmumps-seq-dev
  libhypre-dev
  libopenmpi-dev openmpi-bin
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libcli11-dev
  nlohmann-json3-dev
  ngspice
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
  xvfb xauth
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q || true
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
