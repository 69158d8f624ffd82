#!/usr/bin/env bash
# Installs the Debian packages Nubilo needs to build, run and test, if any are missing.
set -euo pipefail

packages=(
    cmake g++ make
    qt6-base-dev libgl-dev          # Qt Widgets and Network; Qt's CMake files want the GL headers
    qt6-translations-l10n           # Qt's own German texts for the dialogs
    fonts-dejavu-core               # a font for windows drawn without a desktop
    curl                            # the download benchmark compares against it
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
