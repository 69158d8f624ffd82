# Take a screenshot of Nubilo playing an animation, on a virtual X server.
#
# Usage: tools/screenshot.sh <build-dir> <output.png> [desktop-font]
#
# desktop-font, e.g. "DejaVu Sans,12" (family, points), is handed to the program the way a
# KDE desktop hands over its font (Qt's built-in KDE theme reading kdeglobals), to see the
# window with a larger desktop font. Without it the program gets Qt's default, Sans Serif 9.
#
# The program runs from a fresh temporary folder holding a copy of the
# executable and the sample pictures, so nothing of the caller's (pictures,
# settings) ends up in the shot and the result is the same on every machine.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
source "$source_dir/scripts/lib/headless.sh"

if [ "$#" -lt 2 ] || [ "$#" -gt 3 ]; then
    echo "usage: $0 <build-dir> <output.png> [desktop-font]" >&2
    exit 2
fi

BUILD_DIR=$(cd "$1" && pwd)
OUTPUT=$2
DESKTOP_FONT=${3:-}
PROGRAM="$BUILD_DIR/nubilo"
MAKESAMPLES="$BUILD_DIR/tools/nubilo_makesamples"

log() { echo "screenshot: $*" >&2; }

for f in "$PROGRAM" "$MAKESAMPLES"; do
    if [ ! -x "$f" ]; then
        log "missing $f (build the project first)"
        exit 1
    fi
done
bash "$source_dir/scripts/deps.sh" xvfb xdotool imagemagick >&2

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
"$MAKESAMPLES" "$RUN_DIR"

# --- virtual X server ------------------------------------------------------
start_xvfb "$WORK/display" 1024x768
export DISPLAY=":$(cat "$WORK/display")"
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

if ! WIN_IDS=$(timeout 30 xdotool search --sync --onlyvisible --name '^Nubilo '); then
    log "the window \"Nubilo\" did not appear"
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
