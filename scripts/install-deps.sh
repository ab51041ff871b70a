#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent, and quiet when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config binutils
  libboost-dev libboost-log-dev libboost-thread-dev
  libcli11-dev nlohmann-json3-dev libpng-dev libtiff-dev libkissfft-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  python3 python3-numpy help2man man-db
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
