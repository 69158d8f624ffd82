#!/usr/bin/env bash
# Builds Nubilo and installs it for the user running it: the program into ~/Nubilo, where
# its pictures live beside it, the command ~/.local/bin/nubilo, the menu entry and the
# icons. Installing again replaces the program only, also while it runs, never a picture.
#
# Usage: scripts/install.sh [BUILD_DIR]    (default: build/ in the source tree, made on
# first use; an existing build folder is built as it is configured)
set -euo pipefail
source "$(dirname "$0")/lib/userinstall.sh"
source "$(dirname "$0")/lib/stages.sh"
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

# The usual layout from CMake, turned into the one install_from takes: the program and its
# licence side by side, share/ beside them.
install_files() {
    local staging=$1
    cmake --install "$build_dir" --prefix "$staging"
    mv "$staging/bin/nubilo" "$staging/share/doc/nubilo/LICENSE" "$staging/"
    install_from "$staging"
}

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
stage "installing into $NUBILO_DIR" install_files "$staging"
