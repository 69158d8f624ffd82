#!/usr/bin/env bash
# Makes a folder that the user running the tests may not write to, or removes it again.
# Root writes through any permission, so for root it is a read-only mount.
# Usage: read-only-folder.sh make|remove FOLDER
set -euo pipefail
folder=$2
case $1 in
make)
    mkdir -p "$folder"
    if [ "$(id -u)" -ne 0 ]; then
        chmod a-w "$folder"
    elif ! mountpoint -q "$folder"; then
        mount -t tmpfs -o ro,size=64k tmpfs "$folder" || echo "no read-only mount: its test is skipped"
    fi ;;
remove)
    ! mountpoint -q "$folder" || umount "$folder"
    [ ! -d "$folder" ] || { chmod u+w "$folder" && rmdir "$folder"; } ;;
esac
