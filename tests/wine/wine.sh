#!/usr/bin/env bash
# Runs a test program of the Windows build under Wine: CTest starts each through it. It runs
# on Qt's Windows platform, as on a Windows desktop, which Wine draws through X11: here on a
# virtual X server of its own, so that nothing shows on any screen. Qt's messages go to the
# output, where CTest collects them. With --scale, a new profile's display is scaled by that
# percentage, as Windows' display settings do it.
# Usage: wine.sh [--scale PERCENT] PROFILE DLL_FOLDERS PROGRAM [ARGUMENT...]
#   (DLL_FOLDERS: colon-separated)
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/headless.sh"
scale=100
if [ "$1" = --scale ]; then
    scale=$2
    shift 2
fi
use_wine "$1" 1280x1024 "$scale"
IFS=: read -ra folders <<<"$2"
shift 2
path=""
for folder in "${folders[@]}"; do
    path+="$(windows_path "$folder");"
done

display=$(mktemp)
# Wine's processes end with the test, before its X server does.
trap 'wineserver --kill 2>/dev/null; kill "${XVFB_PID:-}" 2>/dev/null; rm -f "$display"' EXIT
start_xvfb "$display"
status=0
# Windows' own texts come in the language of the locale: English, for the tests that read them.
DISPLAY=:$(cat "$display") WINEPATH=$path WINEQT_FORCE_STDERR_LOGGING=1 LC_ALL=C.UTF-8 wine "$@" || status=$?
exit "$status"
