#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Korvana needs.
# Skips apt entirely when everything is already installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev libreadstat-dev libicu-dev
  clang libclang-rt-14-dev
  pspp desktop-file-utils man-db
  qt6-base-dev groff ghostscript
  nlohmann-json3-dev chromium fonts-dejavu-core
  libsimpleini-dev libcli11-dev
  openmpi-bin libopenmpi-dev
  slurm-wlm munge
  python3 python3-numpy python3-scipy python3-fastcluster python3-jsonschema python3-biopython
  r-base-core r-cran-ape
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
