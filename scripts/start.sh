#!/usr/bin/env bash
# Installs what is missing, builds Nubilo, installs it into ~/Nubilo (see install.sh) and
# opens the window; without a graphical session it says how to start it later instead.
#
# Usage: scripts/start.sh [BUILD_DIR]    (passed on to install.sh)
set -euo pipefail
source "$(dirname "$0")/lib/userinstall.sh"

bash "$(dirname "$0")/install.sh" "$@"

command_note=$(command_note)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Nubilo is installed in $NUBILO_DIR, where it also keeps its pictures."
    echo "There is no graphical session here to open its window in. On a desktop, start it"
    echo "from the menu entry \"Nubilo\" or with the command: nubilo"
    [ -z "$command_note" ] || echo "$command_note"
    exit 0
fi
echo "Opening Nubilo. Later, start it from the menu entry \"Nubilo\" or with the command: nubilo"
[ -z "$command_note" ] || echo "$command_note"
exec "$NUBILO_DIR/nubilo"
