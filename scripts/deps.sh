#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tonvale need, when they are missing.
# Usage: scripts/deps.sh [build|test|bench]
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libgtest-dev qt6-base-dev fonts-dejavu-core)
if [[ "${1:-build}" == test ]]; then
  packages+=(libbenchmark-dev libsndfile1-dev clang libclang-rt-14-dev)
fi
if [[ "${1:-build}" == bench ]]; then
  packages+=(libbenchmark-dev libsndfile1-dev sox ffmpeg bc)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  sudo=()
  if [[ "$(id -u)" -ne 0 ]]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends \
    "${missing[@]}"
fi
