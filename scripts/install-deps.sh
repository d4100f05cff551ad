#!/usr/bin/env bash
# Installs the Debian packages Ostra needs to build and test, only those that are missing.
# Runs `apt-get update` only when something has to be installed.
set -euo pipefail

packages=(
    cmake
    ninja-build
    g++
    pkg-config
    googletest
    libgtest-dev
    libgmock-dev
    libbenchmark-dev
    clang-format
    clang
    libclang-rt-14-dev
    libcli11-dev
    nlohmann-json3-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
