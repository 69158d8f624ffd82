# shellcheck shell=bash
# Sourced by what starts programs without a desktop (tests, benchmarks, screenshots): a
# virtual X server, no session bus, and Wine for the Windows programs.

# A session bus address that leads nowhere. With none at all, libdbus starts a bus of its own
# through dbus-launch (from dbus-x11), which writes ~/.dbus and outlives the program.
NO_SESSION_BUS=unix:path=/nonexistent/nubilo-no-session-bus

# wait_for COMMAND...: runs COMMAND every tenth of a second until it succeeds, such as
# `xdotool search --name NAME` for a window to show; fails when ten seconds pass without.
wait_for() {
    local _
    for _ in $(seq 100); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# start_xvfb FILE [SIZE]: starts a virtual X server of SIZE (default 1280x1024) on a free
# display and waits for it to answer. Its display number goes into FILE, its process id into
# XVFB_PID; the caller ends it.
start_xvfb() {
    Xvfb -displayfd 3 -nolisten tcp -screen 0 "${2:-1280x1024}x24" 3>"$1" >/dev/null 2>&1 &
    XVFB_PID=$!
    wait_for test -s "$1" && return 0
    echo "Xvfb did not start" >&2
    return 1
}

# use_wine PROFILE [DESKTOP [SCALE]]: Windows programs started after this run under Wine, in
# the Wine profile PROFILE, making it first if need be (about 13 s and 700 MB), without prompts
# for Wine's Mono and Gecko and without Wine's debugging messages. The profile gets the fonts
# Wine brings: a fresh one has none, and Qt would fall back to a serif font. With DESKTOP
# (such as 1280x1024), a new profile's windows open on a Windows desktop of that size, one
# X11 window: without a window manager Wine waits two seconds at every window that closes.
# With SCALE, a percentage, a new profile's display is scaled by it, as Windows' display
# settings do it: through the desktop's LogPixels, 96 at 100 %.
use_wine() {
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    local desktop=${2:-} scale=${3:-100}
    # Test programs may start at the same time; one makes the profile.
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wineboot --init >/dev/null 2>&1
            if [ -n "$desktop" ]; then
                wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
                wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop" /f >/dev/null 2>&1
            fi
            if [ "$scale" != 100 ]; then
                wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $((scale * 96 / 100)) /f \
                    >/dev/null 2>&1
            fi
            wineserver --wait
            cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
        fi
    ) 9>"$WINEPREFIX.lock"
}

# end_wine PROFILE: ends the Wine programs of PROFILE and waits for them, once use_wine has
# named it; before that, nothing, as Wine would then end those of the user's own ~/.wine.
end_wine() {
    [ "${WINEPREFIX:-}" = "$1" ] || return 0
    wineserver --kill 2>/dev/null || true   # none runs
    wineserver --wait 2>/dev/null || true
}

# The Windows form of a Linux path, as Wine shows it: the Linux file system is drive Z:.
windows_path() {
    local path=${1//\//\\}
    echo "Z:$path"
}
