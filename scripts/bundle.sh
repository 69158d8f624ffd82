#!/usr/bin/env bash
# Makes the prebuilt bundle: the program built for release, with the Qt libraries, plugins
# and German translations it uses and every further library that a desktop system cannot be
# counted on to have (scripts/system-libraries.txt names the others), packed reproducibly
# as nubilo-VERSION-linux-x86_64.tar.xz with its .sha256. Its install.sh installs it for
# one user, without building and without root.
#
# Usage: scripts/bundle.sh [OUTPUT_DIR]    (default: dist/ in the source tree)
set -euo pipefail
source "$(dirname "$0")/common.sh"
source_dir=$(cd "$(dirname "$0")/.." && pwd)
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
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
name=nubilo-$version-linux-x86_64.tar.xz

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
top=$staging/nubilo-$version

mapfile -t system_libraries < <(sed -e 's/#.*//' "$source_dir/scripts/system-libraries.txt" | tr -s ' \t' '\n\n' | sed '/^$/d')
is_system_library() {
    local pattern
    for pattern in "${system_libraries[@]}"; do
        # shellcheck disable=SC2053 # the names are patterns
        [[ $1 == $pattern ]] && return 0
    done
    return 1
}
needed() {
    readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
}

# Carries what the program and the plugins need, and what that needs in turn, except the
# system's libraries and what only those need.
carry_libraries() {
    local -A path_of=() carried=()
    local file soname arrow path rest
    for file in "$@"; do
        while read -r soname arrow path rest; do
            [ "$arrow" = "=>" ] && path_of[$soname]=$path
        done < <(ldd "$file")
    done
    local queue=("$@")
    while ((${#queue[@]} > 0)); do
        file=${queue[0]}
        queue=("${queue[@]:1}")
        for soname in $(needed "$file"); do
            if [ -n "${carried[$soname]:-}" ] || is_system_library "$soname"; then
                continue
            fi
            [ -n "${path_of[$soname]:-}" ] || { echo "$file needs $soname, which ldd did not find" >&2; return 1; }
            carried[$soname]=1
            cp -L "${path_of[$soname]}" "$top/runtime/lib/$soname"
            queue+=("$top/runtime/lib/$soname")
        done
    done
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
    carry_libraries "$top/nubilo" "${QT_PLUGINS[@]/#/$top/runtime/plugins/}"
    # Qt's own German texts: "Abbrechen" and the other buttons of the message boxes.
    cp "$translations/qtbase_de.qm" "$top/runtime/translations/"
    printf '[Paths]\nPrefix = runtime\nLibraries = lib\nPlugins = plugins\nTranslations = translations\n' \
        >"$top/qt.conf"
    newest_version GLIBC >"$top/runtime/needs-glibc"

    cp "$source_dir/scripts/bundle-install.sh" "$top/install.sh"
    cp "$source_dir/scripts/uninstall.sh" "$source_dir/scripts/common.sh" "$top/"
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

mib() { awk -v bytes="$1" 'BEGIN { printf "%.1f MiB", bytes / 1048576 }'; }
packed=$(stat -c %s "$output_dir/$name")
installed=$(du -sb --exclude=install.sh --exclude=uninstall.sh --exclude=common.sh "$top" | cut -f1)
glibcxx=$(newest_version GLIBCXX)
case $glibcxx in
3.4.29) gcc=11 ;;
3.4.30) gcc=12 ;;
3.4.31 | 3.4.32) gcc=13 ;;
3.4.33) gcc=14 ;;
*) gcc="" ;;
esac
echo "bundle: $(cd "$output_dir" && pwd)/$name"
echo "size: $(mib "$packed") packed (at most 25 MiB), $(mib "$installed") installed (at most 80 MiB)"
echo "runs on: x86-64 Linux with glibc $(cat "$top/runtime/needs-glibc") or newer and the C++ runtime of" \
    "${gcc:+GCC $gcc or newer (}GLIBCXX_$glibcxx${gcc:+)}, on an X11 or Wayland desktop"
