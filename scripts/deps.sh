#!/usr/bin/env bash
# Installs the Debian packages Nubilo needs to be built and run, if any are missing; with
# --tests also those its tests and benchmarks use, and any packages named after that.
# An ordinary user is asked for sudo; what was installed is recorded so that
# uninstall.sh can name it.
#
# Usage: scripts/deps.sh [--tests] [PACKAGE...]
set -euo pipefail
source "$(dirname "$0")/common.sh"
start_log deps.log

packages=(
    cmake g++ make
    qt6-base-dev libgl-dev          # Qt Widgets and Network; Qt's CMake files want the GL headers
    qt6-translations-l10n           # Qt's own German texts for the dialogs
    fonts-dejavu-core               # a font for windows drawn without a desktop
)
if [ "${1:-}" = --tests ]; then
    shift
    packages+=(
        curl                        # the download benchmark compares against it
        desktop-file-utils          # the install test validates the menu entry
        python3                     # the icon test runs the icons' generator
    )
fi
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} == 0)); then
    echo "packages ... all present"
    exit 0
fi

apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
if [ "$(id -u)" -ne 0 ]; then
    echo "Nubilo needs these Debian packages to be built: ${missing[*]}"
    if ! command -v sudo >/dev/null; then
        why="sudo is not installed"
    elif ! [ -t 0 ] && ! sudo -n true 2>/dev/null; then
        why="sudo would need a password, and there is no terminal to ask for it"
    else
        # Asks for the password now, on the terminal, rather than inside the quiet stage.
        echo "Installing them needs administrator rights, so sudo may ask for your password."
        if sudo -v; then
            why=""
            apt=(sudo "${apt[@]}")
        else
            why="sudo refused"
        fi
    fi
    if [ -n "$why" ]; then
        echo "They cannot be installed from this account: $why." >&2
        echo "Run this one command as root (e.g. after 'su -'), then try again:" >&2
        echo "    apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
fi

stage "packages: updating the package lists" "${apt[@]}" update
stage "packages: installing ${missing[*]}" "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
mkdir -p "$STATE_DIR"
printf '%s\n' "${missing[@]}" >>"$PACKAGES_FILE"
sort -u -o "$PACKAGES_FILE" "$PACKAGES_FILE"
