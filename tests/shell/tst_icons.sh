#!/usr/bin/env bash
# The committed icons are what their generator draws: regenerates them in a temporary
# folder and compares. Usage: tst_icons.sh SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$1/tools/make-globe-icons.py" >/dev/null
for icon in app/icons/*; do
    cmp "$icon" "$1/$icon" || { echo "FAIL: $icon differs from its generator's" >&2; exit 1; }
done
# And the generator draws every icon there is, no fewer.
[ "$(ls app/icons)" = "$(ls "$1/app/icons")" ] || { echo "FAIL: the generator draws other icons" >&2; exit 1; }
echo "PASS"
