#!/usr/bin/env bash
# Makes the prebuilt bundle: the program built for release, with the Qt libraries, plugins
# and German translations it uses and every further library that a desktop system cannot be
# counted on to have (system-libraries.txt beside this names the others), packed reproducibly
# as nubilo-VERSION-linux-x86_64.tar.xz with its .sha256. Its install.sh installs it for
# one user, without building and without root.
#
# Usage: packaging/linux/make-bundle.sh [OUTPUT_DIR]    (default: dist/ in the source tree)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$source_dir/scripts/lib/stages.sh"
source "$source_dir/scripts/lib/packaging.sh"
output_dir=${1:-$source_dir/dist}
build_dir=$source_dir/build-bundle
start_log bundle.log

# The Qt plugins the program loads: the X11 platform with its two ways to OpenGL, the GIF
# reader and the TLS backend for https.
QT_PLUGINS=(platforms/libqxcb.so xcbglintegrations/libqxcb-glx-integration.so
    xcbglintegrations/libqxcb-egl-integration.so imageformats/libqgif.so tls/libqopensslbackend.so)

bash "$source_dir/scripts/deps.sh" xz-utils
# Every time in the bundle is the commit's, so that two bundles of one commit are the same.
epoch=$(commit_time "$source_dir")
stage "configuring" cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DNUBILO_BUNDLE=ON
build_stage "building" cmake --build "$build_dir" --parallel "$(nproc)" --target nubilo
version=$(project_version "$build_dir")
name=nubilo-$version-linux-x86_64.tar.xz

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
top=$staging/nubilo-$version

load_system_libraries "$here/system-libraries.txt"
needed_libraries() {
    readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
}
# Where the system's loader finds each library that the program and the plugins need, as ldd
# tells it for them.
declare -A library_path=()
find_libraries() {
    local file soname arrow path rest
    for file in "$@"; do
        while read -r soname arrow path rest; do
            [ "$arrow" = "=>" ] && library_path[$soname]=$path
        done < <(ldd "$file")
    done
}
# The library to carry for a name, except the system's libraries.
locate_library() {
    is_system_library "$1" && return 0
    [ -n "${library_path[$1]:-}" ] || { echo "$1 is needed, and ldd did not find it" >&2; return 1; }
    echo "${library_path[$1]}"
}

# The newest version of a symbol family (GLIBC, GLIBCXX) that any file of the bundle needs.
newest_version() {
    find "$top" -type f \( -name nubilo -o -name '*.so*' \) -exec objdump -T {} + \
        | grep -o "$1_[0-9][0-9.]*" | sort -uV | tail -n 1 | sed "s/^$1_//"
}

collect() {
    cmake --install "$build_dir" --prefix "$staging/prefix" --strip
    mkdir -p "$top/runtime/lib" "$top/runtime/translations"
    cp "$staging/prefix/bin/nubilo" "$staging/prefix/share/doc/nubilo/LICENSE" "$top/"
    cp -r "$staging/prefix/share" "$top/"
    rm -r "$top/share/doc"

    local plugins translations plugin
    plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
    translations=$(qtpaths6 --query QT_INSTALL_TRANSLATIONS)
    for plugin in "${QT_PLUGINS[@]}"; do
        mkdir -p "$top/runtime/plugins/$(dirname "$plugin")"
        cp "$plugins/$plugin" "$top/runtime/plugins/$plugin"
    done
    local carried=("$top/nubilo" "${QT_PLUGINS[@]/#/$top/runtime/plugins/}")
    find_libraries "${carried[@]}"
    carry_dependencies needed_libraries locate_library "$top/runtime/lib" "${carried[@]}"
    # Qt's own German texts: "Abbrechen" and the other buttons of the message boxes.
    cp "$translations/qtbase_de.qm" "$top/runtime/translations/"
    printf '[Paths]\nPrefix = runtime\nLibraries = lib\nPlugins = plugins\nTranslations = translations\n' \
        >"$top/qt.conf"
    newest_version GLIBC >"$top/runtime/needs-glibc"

    # The installer and the uninstaller, with the parts of the scripts' library they use.
    cp "$here/bundle-install.sh" "$top/install.sh"
    cp "$source_dir/scripts/uninstall.sh" "$top/"
    mkdir "$top/lib"
    cp "$source_dir/scripts/lib/userinstall.sh" "$source_dir/scripts/lib/stages.sh" "$top/lib/"
}

pack() {
    mkdir -p "$output_dir"
    # Names sorted, one time, owner 0, modes as umask 022 gives them. xz keeps no times, and
    # with a fixed block size its blocks are the same however many threads pack them.
    tar --sort=name --format=gnu --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
        --mode='u=rwX,go=rX' -C "$staging" -cf - "nubilo-$version" \
        | xz -6 --threads=0 --block-size=16MiB >"$output_dir/$name.new"
    mv -f "$output_dir/$name.new" "$output_dir/$name"
    (cd "$output_dir" && sha256sum "$name" >"$name.sha256")
}

stage "collecting the program, Qt and the libraries" collect
stage "packing" pack

installed=$(du -scb "$top"/{nubilo,LICENSE,qt.conf,runtime,share} | tail -n 1 | cut -f1)
glibcxx=$(newest_version GLIBCXX)
case $glibcxx in
3.4.29) gcc=11 ;;
3.4.30) gcc=12 ;;
3.4.31 | 3.4.32) gcc=13 ;;
3.4.33) gcc=14 ;;
*) gcc="" ;;
esac
echo "bundle: $(cd "$output_dir" && pwd)/$name"
echo "size: $(mib "$(stat -c %s "$output_dir/$name")") packed (at most 25 MiB), $(mib "$installed") installed (at most 80 MiB)"
echo "runs on: x86-64 Linux with glibc $(cat "$top/runtime/needs-glibc") or newer and the C++ runtime of" \
    "${gcc:+GCC $gcc or newer (}GLIBCXX_$glibcxx${gcc:+)}, on an X11 or Wayland desktop"
