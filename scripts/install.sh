#!/usr/bin/env bash
# Builds Nubilo and installs it for the user running it: the program into ~/Nubilo, where
# its pictures live beside it, the command ~/.local/bin/nubilo, the menu entry and the
# icons. Installing again replaces the program only, also while it runs, never a picture.
#
# Usage: scripts/install.sh [BUILD_DIR]    (default: build/ in the source tree, made on
# first use; an existing build folder is built as it is configured)
set -euo pipefail
source "$(dirname "$0")/common.sh"
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build}
start_log install.log

bash "$source_dir/scripts/deps.sh"
if [ -f "$build_dir/CMakeCache.txt" ]; then
    echo "configuring ... already done in $build_dir"
else
    stage "configuring" cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release
fi
build_stage "building" cmake --build "$build_dir" --parallel "$(nproc)" --target nubilo

# Each file is copied beside its place and renamed over it: the rename replaces a program
# that is running (copying onto it fails with "Text file busy") and leaves no half file.
place() {
    mkdir -p "$(dirname "$2")"
    cp "$1" "$2.new"
    mv -f "$2.new" "$2"
}

install_files() {
    local staging=$1
    cmake --install "$build_dir" --prefix "$staging"
    place "$staging/bin/nubilo" "$NUBILO_DIR/nubilo"
    place "$staging/share/doc/nubilo/LICENSE" "$NUBILO_DIR/LICENSE"
    # The command is a link: the program finds its folder, and so its pictures, through it.
    mkdir -p "$BIN_HOME"
    ln -sfn "$NUBILO_DIR/nubilo" "$BIN_HOME/nubilo"
    local size icon
    for size in "${ICON_SIZES[@]}"; do
        icon=icons/hicolor/${size}x$size/apps/nubilo.png
        place "$staging/share/$icon" "$DATA_HOME/$icon"
    done
    # A desktop session's PATH may lack ~/.local/bin, so the entry names the program itself.
    sed "s|^Exec=.*|Exec=\"$NUBILO_DIR/nubilo\"|" "$staging/share/applications/nubilo.desktop" \
        >"$staging/nubilo.desktop"
    place "$staging/nubilo.desktop" "$DATA_HOME/applications/nubilo.desktop"

    refresh_caches
}

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
stage "installing into $NUBILO_DIR" install_files "$staging"
