#!/usr/bin/env bash
# Installs what is missing, builds Nubilo, installs it into ~/Nubilo (see install.sh) and
# opens the window; without a graphical session it says how to start it later instead.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$(dirname "$0")/install.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Nubilo is installed in $NUBILO_DIR, where it also keeps its pictures."
    echo "There is no graphical session here to open its window in. On the desktop, start"
    echo "it from the menu entry \"Nubilo\" or with the command: nubilo"
    if [[ ":$PATH:" != *":$BIN_HOME:"* ]]; then
        echo "(The command works in shells started after your next login; until then: $NUBILO_DIR/nubilo)"
    fi
    exit 0
fi
echo "Opening Nubilo; later, start it from the menu entry \"Nubilo\" or with: nubilo"
exec "$NUBILO_DIR/nubilo"
