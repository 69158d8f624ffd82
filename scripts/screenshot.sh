#!/usr/bin/env bash
# Take a screenshot of Nubilo playing an animation, on a virtual X server.
#
# Usage: scripts/screenshot.sh <build-dir> <output.png> [desktop-font]
#
# desktop-font, e.g. "DejaVu Sans,12" (family, points), is handed to the program the way a
# KDE desktop hands over its font (Qt's built-in KDE theme reading kdeglobals), to see the
# window with a larger desktop font. Without it the program gets Qt's default, Sans Serif 9.
#
# The program runs from a fresh temporary folder holding a copy of the
# executable and a few sample pictures, so nothing of the caller's (pictures,
# settings) ends up in the shot and the result is the same on every machine.
set -euo pipefail
source "$(dirname "$0")/common.sh"

if [ "$#" -lt 2 ] || [ "$#" -gt 3 ]; then
    echo "usage: $0 <build-dir> <output.png> [desktop-font]" >&2
    exit 2
fi

BUILD_DIR=$(cd "$1" && pwd)
OUTPUT=$2
DESKTOP_FONT=${3:-}
PROGRAM="$BUILD_DIR/nubilo"
MAKESAMPLES="$BUILD_DIR/tests/nubilo_makesamples"
WINDOW_NAME="Nubilo 1.1"
SAMPLES=(sat261207-0900.gif sat261207-1000.gif sat261207-1100.gif sat261207-1200.gif)

log() { echo "screenshot: $*" >&2; }

for f in "$PROGRAM" "$MAKESAMPLES"; do
    if [ ! -x "$f" ]; then
        log "missing $f (build the project first)"
        exit 1
    fi
done

# --- tools -----------------------------------------------------------------
# Install only what is missing, so a prepared machine never touches apt.
missing=()
for pkg in xvfb xauth xdotool imagemagick; do
    if ! dpkg -s "$pkg" >/dev/null 2>&1; then
        missing+=("$pkg")
    fi
done
if [ "${#missing[@]}" -gt 0 ]; then
    SUDO=()
    if [ "$(id -u)" -ne 0 ]; then
        SUDO=(sudo)
    fi
    log "installing ${missing[*]}"
    "${SUDO[@]}" apt-get update
    "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

# --- cleanup ---------------------------------------------------------------
WORK=$(mktemp -d "${TMPDIR:-/tmp}/nubilo-shot.XXXXXX")
APP_PID=""
XVFB_PID=""

stop() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || true
    # Give it a moment to exit cleanly, then insist.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

cleanup() {
    stop "$APP_PID"
    stop "$XVFB_PID"
    rm -rf "$WORK"
}
trap cleanup EXIT
# Turn signals into a normal exit so the EXIT trap still cleans up.
trap 'exit 130' INT
trap 'exit 143' TERM

# --- program folder with sample pictures -----------------------------------
# The program lists the sat*.gif files lying beside its own executable.
RUN_DIR="$WORK/run"
mkdir -p "$RUN_DIR"
cp "$PROGRAM" "$RUN_DIR/nubilo"
"$MAKESAMPLES" "$RUN_DIR" "${SAMPLES[@]}"

# --- virtual X server ------------------------------------------------------
export XAUTHORITY="$WORK/Xauthority"
touch "$XAUTHORITY"
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')

display_free() {
    [ ! -e "/tmp/.X$1-lock" ] && [ ! -e "/tmp/.X11-unix/X$1" ]
}

DISPLAY_NUM=""
for n in $(seq 97 150); do
    display_free "$n" || continue
    xauth -q add ":$n" . "$cookie"
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -auth "$XAUTHORITY" \
        >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    # Wait until the server answers; if it died, someone took the display
    # between the check and the start, so try the next one.
    for _ in $(seq 1 100); do
        if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
            DISPLAY_NUM=$n
            break
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$DISPLAY_NUM" ] && break
    stop "$XVFB_PID"
    XVFB_PID=""
done
if [ -z "$DISPLAY_NUM" ]; then
    log "could not start Xvfb"
    cat "$WORK/xvfb.log" >&2 || true
    exit 1
fi
export DISPLAY=":$DISPLAY_NUM"
log "Xvfb on $DISPLAY"

# --- the program -----------------------------------------------------------
# No desktop theme plugin (the look must not depend on the caller's desktop;
# with a desktop font, Qt's KDE theme reads only our private kdeglobals), the
# X11 backend even if the caller asked for offscreen, no session bus, and a
# private settings folder so earlier runs leave no trace.
THEME=(-u QT_QPA_PLATFORMTHEME)
mkdir -p "$WORK/config"
if [ -n "$DESKTOP_FONT" ]; then
    printf '[General]\nfont=%s,-1,5,50,0,0,0,0,0\n' "$DESKTOP_FONT" >"$WORK/config/kdeglobals"
    THEME=(QT_QPA_PLATFORMTHEME=kde KDE_SESSION_VERSION=5)
    log "desktop font $DESKTOP_FONT"
fi
(
    cd "$RUN_DIR"
    exec env "${THEME[@]}" QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS="$NO_SESSION_BUS" \
        XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" \
        ./nubilo
) >"$WORK/program.log" 2>&1 &
APP_PID=$!

if ! WIN_IDS=$(timeout 30 xdotool search --sync --onlyvisible --name "$WINDOW_NAME"); then
    log "window \"$WINDOW_NAME\" did not appear"
    cat "$WORK/program.log" >&2 || true
    exit 1
fi
WIN=$(head -n 1 <<<"$WIN_IDS")
log "window $WIN"
# Let the first paint and layout settle before clicking.
sleep 0.7

# Click points in the window's client area: group frame at (8,0), buttons at
# x=8 inside it; aim at the middle of each 121x25 button.
click() {
    xdotool mousemove --window "$WIN" "$1" "$2" click 1
    sleep 0.3
}
click $((8 + 8 + 60)) $((232 + 12))   # "alle auswählen"
click $((8 + 8 + 60)) $((344 + 12))   # "Animation starten"

# Let the animation run a few frames.
sleep 1.5

if ! kill -0 "$APP_PID" 2>/dev/null; then
    log "program exited early"
    cat "$WORK/program.log" >&2 || true
    exit 1
fi

# --- screenshot --------------------------------------------------------------
import -window root "$WORK/screen.png"

# Crop to the window; without a window manager it has no frame, so this is
# exactly the client area.  Fall back to the whole screen if that fails.
crop=""
if geom=$(xdotool getwindowgeometry --shell "$WIN" 2>/dev/null); then
    X="" Y="" WIDTH="" HEIGHT=""
    eval "$(grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9-]+$' <<<"$geom")"
    if [ -n "$WIDTH" ] && [ -n "$HEIGHT" ] && [ "$WIDTH" -gt 0 ] && [ "$HEIGHT" -gt 0 ]; then
        [ "$X" -ge 0 ] || X=0
        [ "$Y" -ge 0 ] || Y=0
        crop="${WIDTH}x${HEIGHT}+${X}+${Y}"
    fi
fi

mkdir -p "$(dirname "$OUTPUT")"
if [ -n "$crop" ]; then
    convert "$WORK/screen.png" -crop "$crop" +repage "$WORK/shot.png"
else
    log "window geometry unknown; keeping the whole screen"
    cp "$WORK/screen.png" "$WORK/shot.png"
fi
cp "$WORK/shot.png" "$OUTPUT"
log "wrote $OUTPUT ($(identify -format '%wx%h' "$OUTPUT"))"
