#!/usr/bin/env bash
# Installs the Debian packages Ostra needs to build and test, only those that are missing.
# Runs `apt-get update` only when something has to be installed. Generates the locale
# de_DE.UTF-8 when it is missing.
set -euo pipefail

packages=(
    cmake
    ninja-build
    g++
    pkg-config
    locales
    googletest
    libgtest-dev
    libgmock-dev
    libbenchmark-dev
    clang-format
    clang
    libclang-rt-14-dev
    libcli11-dev
    libasio-dev
    nlohmann-json3-dev
    qt6-base-dev
    libgl-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The tests read and write numbers under a locale whose decimal point is a comma.
if ! locale -a | grep -qix 'de_DE.utf-\?8'; then
    echo "Generating the locale de_DE.UTF-8"
    "${sudo_cmd[@]}" sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    "${sudo_cmd[@]}" locale-gen
fi
