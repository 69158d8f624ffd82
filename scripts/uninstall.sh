#!/usr/bin/env bash
# Removes what install.sh, or a prebuilt bundle's install.sh, installed for this user: the
# program (with the bundle's Qt), the command, the menu entry, the icons and the software
# centres' description. Every picture, and any other file in ~/Nubilo, stays.
set -euo pipefail
source "$(dirname "$0")/lib/userinstall.sh"
source "$(dirname "$0")/lib/stages.sh"

rm -f "$NUBILO_DIR/nubilo" "$NUBILO_DIR/LICENSE" "$NUBILO_DIR/qt.conf" \
    "$DATA_HOME/applications/nubilo.desktop" "$DATA_HOME/metainfo/$METAINFO"
rm -rf "$NUBILO_DIR/runtime"
rmdir "$DATA_HOME/metainfo" 2>/dev/null || true
# The command only if it is ours.
if [ "$(readlink "$BIN_HOME/nubilo" 2>/dev/null)" = "$NUBILO_DIR/nubilo" ]; then
    rm -f "$BIN_HOME/nubilo"
fi
for icon in "$DATA_HOME"/icons/hicolor/*/apps/nubilo.png; do
    [ -e "$icon" ] || continue
    rm -f "$icon"
    folder=$(dirname "$(dirname "$icon")")
    rmdir --ignore-fail-on-non-empty "$folder/apps" "$folder" 2>/dev/null || true
done
refresh_caches
echo "Removed the program, the command nubilo, the menu entry and the icons."

if [ -d "$NUBILO_DIR" ] && ! rmdir "$NUBILO_DIR" 2>/dev/null; then
    pictures=$(find "$NUBILO_DIR" -maxdepth 1 -name 'sat*.gif' | wc -l)
    echo "Your pictures ($pictures) stay in $NUBILO_DIR, with any other file you put there;"
    echo "deleting that folder deletes them."
fi

if [ -s "$PACKAGES_FILE" ]; then
    mapfile -t packages <"$PACKAGES_FILE"
    echo "These packages were installed to build or test Nubilo; you may remove them if nothing"
    echo "else needs them, as root: apt-get remove ${packages[*]} && apt-get autoremove"
else
    echo "No packages were installed to build Nubilo."
fi
rm -rf "$STATE_DIR" "$LOG_DIR"
