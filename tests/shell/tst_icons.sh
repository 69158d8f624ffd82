#!/usr/bin/env bash
# The committed icons are what their generator draws: regenerates them in a temporary
# folder and compares. Usage: tst_icons.sh SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$1/tools/make-globe-icons.py" >/dev/null
# The window's icons, and those of the menu and of Windows.
for folder in app/icons data/icons; do
    for icon in "$folder"/*; do
        cmp "$icon" "$1/$icon" || { echo "FAIL: $icon differs from its generator's" >&2; exit 1; }
    done
    # And the generator draws every icon there is, no fewer.
    [ "$(ls "$folder")" = "$(ls "$1/$folder")" ] || { echo "FAIL: the generator draws other icons in $folder" >&2; exit 1; }
done
echo "PASS"
