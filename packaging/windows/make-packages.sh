#!/usr/bin/env bash
# Makes Nubilo for Windows x86-64, on Debian 12: the program cross-built with mingw-w64, with
# the DLLs of Qt and of the compiler's runtime that it imports, the plugins it loads, Qt's
# German texts and the licences of all it carries, in two forms, each with its .sha256:
#   nubilo-VERSION-windows-x86_64.zip        a folder Nubilo/ that runs wherever it is unpacked
#   nubilo-VERSION-windows-x86_64-setup.exe  a German setup that installs it for the user
#                                            running it, without administrator rights
# Two runs on one commit give the same bytes.
#
# With a certificate, every program and DLL they carry is signed, and the setup and its
# uninstaller: NUBILO_SIGN_PKCS12 names it, NUBILO_SIGN_PASSWORD_FILE its password, and
# NUBILO_SIGN_TIMESTAMP_URL an optional time-stamp server (see sign.sh beside this).
#
# The Qt for Windows is the one NUBILO_WINDOWS_QT names; without it, the one that
# make-qt.sh beside this builds once into ~/.cache/nubilo (about 20 minutes).
#
# Usage: packaging/windows/make-packages.sh [OUTPUT_DIR [BUILD_DIR]]
#   (defaults: dist/ and build-windows/ in the source tree; the build folder is configured for
#   a release build with this Qt, whatever it was before)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$source_dir/scripts/lib/stages.sh"
source "$source_dir/scripts/lib/windows.sh"
source "$source_dir/scripts/lib/packaging.sh"
output_dir=${1:-$source_dir/dist}
build_dir=${2:-$source_dir/build-windows}
mkdir -p "$output_dir"
output_dir=$(cd "$output_dir" && pwd)
start_log windows.log

# The plugins the program loads: the Windows platform, Qt's Windows style, the GIF reader and
# https through Windows' own TLS (Schannel), so that no OpenSSL is carried.
QT_PLUGINS=(platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qgif.dll tls/qschannelbackend.dll)
# Folders whose DLLs are carried; system-dlls.txt beside this names Windows' own.
runtime_folders() {
    local dll
    echo "$windows_qt/bin"
    for dll in libstdc++-6.dll libwinpthread-1.dll; do
        dirname "$(realpath "$("$WINDOWS_CXX" -print-file-name="$dll")")"
    done
}

# Whether to sign is settled, and whether it can be done, before anything is built.
signing=false packages=("${WINDOWS_PACKAGES[@]}")
if [ -n "${NUBILO_SIGN_PKCS12:-}" ]; then
    [ -r "$NUBILO_SIGN_PKCS12" ] && [ -r "${NUBILO_SIGN_PASSWORD_FILE:-}" ] || {
        echo "cannot sign: NUBILO_SIGN_PKCS12 and NUBILO_SIGN_PASSWORD_FILE must name readable files" >&2
        exit 1
    }
    signing=true packages+=("${WINDOWS_SIGN_PACKAGES[@]}")
    # makensis, which signs the setup, runs in another folder.
    export NUBILO_SIGN_PKCS12 NUBILO_SIGN_PASSWORD_FILE
    NUBILO_SIGN_PKCS12=$(realpath "$NUBILO_SIGN_PKCS12") NUBILO_SIGN_PASSWORD_FILE=$(realpath "$NUBILO_SIGN_PASSWORD_FILE")
fi

bash "$source_dir/scripts/deps.sh" "${packages[@]}"
# A Qt that NUBILO_WINDOWS_QT names must do; without one, the cache's is made once.
if [ -z "${NUBILO_WINDOWS_QT:-}" ] && ! find_windows_qt >/dev/null 2>&1; then
    bash "$here/make-qt.sh"
fi
windows_qt=$(find_windows_qt)
echo "Qt for Windows ... $windows_qt"
# Every time in the packages is the commit's, so that two packages of one commit are the same.
epoch=$(commit_time "$source_dir")
configure_windows_build "$source_dir" "$build_dir" "$windows_qt"
build_stage "building" cmake --build "$build_dir" --parallel "$(nproc)" --target nubilo
version=$(project_version "$build_dir")
name=nubilo-$version-windows-x86_64
# Windows' version resource, which the setup carries, has four numbers, which only a build for
# Windows keeps in its cache.
windows_version=$(windows_version "$build_dir")
[[ $windows_version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || {
    echo "$build_dir has no Windows version of four numbers (NUBILO_WINDOWS_VERSION is '$windows_version'): is it a build for Windows? Use a new build folder" >&2
    exit 1
}

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
top=$staging/Nubilo

imported_dlls() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p'
}
# The DLL to carry for a name: one from the folders above, none for one of Windows' own, and
# a failure for any other.
load_system_libraries "$here/system-dlls.txt"
locate_dll() {
    local folder
    for folder in "${dll_folders[@]}"; do
        [ -f "$folder/$1" ] && echo "$folder/$1" && return 0
    done
    is_system_library "$1" && return 0
    echo "$1 is needed, and it is neither in Qt's or the compiler's folders nor one of Windows' own DLLs (system-dlls.txt)" >&2
    return 1
}

# Each carried DLL with the licence of the Debian package it comes from (Qt's, built from
# Debian's own source, has the notice of Debian's Qt).
carry_licences() {
    local dll package
    for dll in "$top"/*.dll; do
        package=$(dpkg -S "$(realpath "$(locate_dll "$(basename "$dll")")")" 2>/dev/null | cut -d: -f1) \
            || package=libqt6core6
        cp "/usr/share/doc/$package/copyright" "$top/licences/$package.txt"
    done
}

collect() {
    mkdir -p "$top/translations" "$top/licences"
    cp "$build_dir/nubilo.exe" "$source_dir/LICENSE" "$top/"
    local plugin
    for plugin in "${QT_PLUGINS[@]}"; do
        mkdir -p "$top/plugins/$(dirname "$plugin")"
        cp "$windows_qt/plugins/$plugin" "$top/plugins/$plugin"
    done
    mapfile -t dll_folders < <(runtime_folders)
    carry_dependencies imported_dlls locate_dll "$top" "$top/nubilo.exe" "${QT_PLUGINS[@]/#/$top/plugins/}"
    carry_licences
    # Qt's own German texts: "Abbrechen" and the other buttons of the message boxes.
    cp "$(qtpaths6 --query QT_INSTALL_TRANSLATIONS)/qtbase_de.qm" "$top/translations/"
    # The texts of the licences that the notices name: Qt's LGPL, and the GPL that it and
    # GCC's runtime library exception build on.
    cp /usr/share/common-licenses/LGPL-3 "$top/licences/LGPL-3.txt"
    cp /usr/share/common-licenses/GPL-3 "$top/licences/GPL-3.txt"
    printf '[Paths]\r\nPrefix = .\r\nPlugins = plugins\r\nTranslations = translations\r\n' >"$top/qt.conf"
    # The copies may be read-only, as a shared Qt is; the zip keeps the modes of umask 022.
    chmod -R u=rwX,go=rX "$top"
    # Stripping writes a time into each file: the commit's.
    find "$top" -name '*.exe' -o -name '*.dll' | SOURCE_DATE_EPOCH=$epoch xargs x86_64-w64-mingw32-strip --strip-unneeded
    if $signing; then
        find "$top" \( -name '*.exe' -o -name '*.dll' \) -exec bash "$here/sign.sh" {} +
    fi
    find "$top" -exec touch --no-dereference --date="@$epoch" {} +
}

pack_zip() {
    # Names sorted, times in UTC as the commit's, no extra fields of Unix owners and times.
    (cd "$staging" && find Nubilo | LC_ALL=C sort | TZ=UTC zip -q -X -9 -@ "$output_dir/$name.zip.new")
    mv -f "$output_dir/$name.zip.new" "$output_dir/$name.zip"
}

# The setup needs the list of what it installs, for its uninstaller to remove that and no more.
pack_setup() {
    local sign=()
    ! $signing || sign=(-DSIGN="$here/sign.sh")
    (cd "$top" && find . -type f | LC_ALL=C sort) | sed 's|^\./||; s|/|\\|g; s|.*|${RemoveFile} "&"|' \
        >"$staging/files.nsh"
    (cd "$top" && find . -mindepth 1 -type d | LC_ALL=C sort -r) \
        | sed 's|^\./||; s|/|\\|g; s|.*|${RemoveFolder} "&"|' >"$staging/folders.nsh"
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DWINDOWS_VERSION="$windows_version" \
        -DSOURCE="$top" -DFILES="$staging/files.nsh" -DFOLDERS="$staging/folders.nsh" -DSIZE="$(du -sk "$top" | cut -f1)" \
        -DICON="$source_dir/data/icons/globe.ico" -DOUTFILE="$output_dir/$name-setup.exe.new" \
        "${sign[@]}" "$here/setup.nsi"
    mv -f "$output_dir/$name-setup.exe.new" "$output_dir/$name-setup.exe"
}

stage "collecting the program, Qt and the runtime" collect
stage "packing the zip" pack_zip
stage "making the setup" pack_setup
(cd "$output_dir" && sha256sum "$name.zip" >"$name.zip.sha256" && sha256sum "$name-setup.exe" >"$name-setup.exe.sha256")

echo "zip: $(cd "$output_dir" && pwd)/$name.zip, $(mib "$(stat -c %s "$output_dir/$name.zip")") (at most 25 MiB)"
echo "setup: $(cd "$output_dir" && pwd)/$name-setup.exe, $(mib "$(stat -c %s "$output_dir/$name-setup.exe")") (at most 20 MiB)"
if $signing; then
    echo "signed: the setup, its uninstaller and every program and DLL in both, ${NUBILO_SIGN_TIMESTAMP_URL:+time-stamped by $NUBILO_SIGN_TIMESTAMP_URL}${NUBILO_SIGN_TIMESTAMP_URL:-without a time stamp}"
fi
