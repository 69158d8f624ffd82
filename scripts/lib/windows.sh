# shellcheck shell=bash
# Sourced, with stages.sh: building for Windows on Debian with mingw-w64.

# The compiler (mingw-w64 with POSIX threads, which Qt needs), and what packing the zip and
# the setup needs, and signing them; the tests add Wine and a virtual X server, a throw-away
# certificate's maker, and a reader of the program file's resources.
WINDOWS_CXX=x86_64-w64-mingw32-g++-posix
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix nsis zip)
WINDOWS_SIGN_PACKAGES=(osslsigncode)
WINDOWS_TEST_PACKAGES=("${WINDOWS_PACKAGES[@]}" "${WINDOWS_SIGN_PACKAGES[@]}" wine wine64 fonts-wine xvfb xdotool unzip
    openssl p7zip-full)
# The toolchain file that both the program's build and the Qt builder use.
WINDOWS_TOOLCHAIN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../packaging/windows" && pwd)/toolchain.cmake

# Prints the folder of the Qt for Windows to build with: NUBILO_WINDOWS_QT, or else the one
# that packaging/windows/make-qt.sh made in the cache. Its version must be the host Qt's, whose
# moc and rcc the build runs. Fails, saying why, when there is no such Qt.
find_windows_qt() {
    local host folder version
    host=$(qtpaths6 --qt-version 2>/dev/null) || { echo "there is no Qt on this system" >&2; return 1; }
    folder=${NUBILO_WINDOWS_QT:-$CACHE_DIR/qt-$host-windows-x86_64}
    version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$folder/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake" 2>/dev/null) \
        || true
    if [ -z "$version" ]; then
        echo "there is no Qt for Windows in $folder" >&2
        return 1
    elif [ "$version" != "$host" ]; then
        echo "the Qt for Windows in $folder is $version, and this system's Qt is $host" >&2
        return 1
    fi
    realpath "$folder"
}

# configure_windows_build SOURCE_DIR BUILD_DIR QT_FOLDER: a release build for Windows.
configure_windows_build() {
    stage "configuring for Windows" cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$WINDOWS_TOOLCHAIN" -DNUBILO_WINDOWS_QT="$3"
}
