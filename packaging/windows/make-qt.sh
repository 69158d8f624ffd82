#!/usr/bin/env bash
# Builds the Qt for Windows x86-64 that make-packages.sh and the Windows stage of
# scripts/check.sh build Nubilo against: Qt's base module (Core, Gui, Widgets, Network, Test
# and the plugins) from Debian's own source package of the system's Qt, cross-compiled with
# mingw-w64 (POSIX threads), as shared libraries, release. About 20 minutes on two cores,
# 1.2 GB of work space (removed afterwards) and 70 MB for the result.
#
# Usage: packaging/windows/make-qt.sh [PREFIX]    (default: ~/.cache/nubilo/qt-VERSION-windows-x86_64)
#        packaging/windows/make-qt.sh --cache-key
#   prints key=KEY and path=FOLDER for a CI cache of the default folder: the key changes with
#   Debian's version of Qt and with this script, the toolchain file and the patches, and else not.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$source_dir/scripts/lib/stages.sh"
source "$source_dir/scripts/lib/windows.sh"

if [ "${1:-}" = --cache-key ]; then
    version=$(dpkg-query -W -f='${Version}' qt6-base-dev) || { echo "qt6-base-dev is not installed (scripts/deps.sh)" >&2; exit 1; }
    hash=$(cd "$here" && sha256sum make-qt.sh toolchain.cmake qt-patches/*.patch | sha256sum | cut -d' ' -f1)
    echo "key=qt-${version}-windows-x86_64-$hash"
    echo "path=$CACHE_DIR/qt-${version%%+*}-windows-x86_64"
    exit 0
fi
start_log windows-qt.log

bash "$source_dir/scripts/deps.sh" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
    binutils-mingw-w64-x86-64 ninja-build perl dpkg-dev xz-utils
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)   # such as 6.4.2+dfsg-10
upstream=${version%%+*}
prefix=$(realpath -m "${1:-$CACHE_DIR/qt-$upstream-windows-x86_64}")
work=${TMPDIR:-/tmp}/nubilo-windows-qt
source=$work/qt6-base
build=$work/build
rm -rf "$work"
mkdir -p "$work"
echo "Qt $upstream for Windows, into $prefix (log: $NUBILO_LOG)"

# Debian's source of the system's Qt, with Debian's patches. apt reads source packages from a
# list of its own here, so the system's configuration stays as it is, and no root is needed.
fetch_source() {
    local apt=$work/apt
    mkdir -p "$apt/sources" "$apt/lists/partial"
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$apt/sources/system.list"
    fi
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] && sed 's/^Types: .*/Types: deb-src/' "$file" >"$apt/sources/$(basename "$file")"
    done
    local options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources"
        -o Dir::State::Lists="$apt/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User="$(id -un)")
    apt-get "${options[@]}" update
    (cd "$work" && apt-get "${options[@]}" source --download-only "qt6-base=$version")
    (cd "$work" && dpkg-source --no-check -x qt6-base_*.dsc "$source")
}

# Two changes for a Windows target, in qt-patches/. Debian's source leaves out Wacom's tablet
# headers, which the Windows platform plugin includes: Wine's LGPL headers of the same
# interface take their place, from Debian's libwine-dev (downloaded, not installed), behind a
# small wrapper. And Qt 6.4.2 fails to link the Windows platform plugin without direct2d; a
# guard makes it link either way.
patch_source() {
    (cd "$work" && apt-get download libwine-dev)
    mkdir -p "$work/wine" "$source/src/3rdparty/wintab"
    dpkg-deb --fsys-tarfile "$work"/libwine-dev_*.deb | tar -x -C "$work/wine" \
        ./usr/include/wine/wine/windows/wintab.h ./usr/include/wine/wine/windows/pktdef.h
    cp "$work/wine/usr/include/wine/wine/windows/wintab.h" "$source/src/3rdparty/wintab/wine_wintab.h"
    cp "$work/wine/usr/include/wine/wine/windows/pktdef.h" "$source/src/3rdparty/wintab/pktdef.h"
    local change
    for change in "$here"/qt-patches/*.patch; do
        patch -p1 --forward -d "$source" <"$change"
    done
}

configure_qt() {
    mkdir -p "$build"
    # Third-party code built in, so that no further DLLs are carried; TLS through Windows' own
    # Schannel, no OpenSSL; direct2d stays on, as Qt's DirectWrite fonts need it, and only its
    # separate platform plugin is left out.
    (cd "$build" && "$source/configure" -prefix "$prefix" -release -shared -xplatform win32-g++ \
        -qt-host-path /usr -nomake examples -nomake tests -nomake benchmarks -no-pkg-config \
        -qt-zlib -qt-pcre -qt-doubleconversion -qt-libpng -qt-harfbuzz -qt-freetype \
        -no-libjpeg -no-zstd -no-icu -no-openssl -schannel -no-dbus -no-opengl \
        -no-feature-direct2d1_1 -no-feature-vulkan -no-feature-sql -no-feature-printsupport \
        -no-feature-concurrent -no-feature-xml -no-feature-androiddeployqt -no-feature-tuiotouch \
        -- -DCMAKE_TOOLCHAIN_FILE="$WINDOWS_TOOLCHAIN" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
}

stage "fetching Debian's source of Qt $version" fetch_source
stage "adapting it for Windows" patch_source
stage "configuring" configure_qt
build_stage "building (about 20 minutes)" cmake --build "$build" --parallel "$(nproc)"
stage "installing" cmake --install "$build" --strip
NUBILO_WINDOWS_QT=$prefix find_windows_qt >/dev/null
rm -rf "$work"
echo "Qt for Windows: $prefix ($(du -sh "$prefix" | cut -f1))"
