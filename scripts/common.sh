# Sourced by the other scripts: where Nubilo goes for this user, and quiet stages that
# print one line each while their full output goes to a log file.

NUBILO_DIR=$HOME/Nubilo
DATA_HOME=${XDG_DATA_HOME:-$HOME/.local/share}
BIN_HOME=$HOME/.local/bin
STATE_DIR=$DATA_HOME/nubilo
# The packages deps.sh installed, one a line, so that uninstall.sh can name them.
PACKAGES_FILE=$STATE_DIR/installed-packages
CACHE_DIR=${XDG_CACHE_HOME:-$HOME/.cache}/nubilo
LOG_DIR=$CACHE_DIR
ICON_SIZES=(16 22 24 32 48 64 128 256)
METAINFO=io.github.nubilo.nubilo.metainfo.xml
# For the program started outside a desktop session (tests, benchmarks, screenshots): a
# session bus address that leads nowhere. With none at all, libdbus starts a bus of its own
# through dbus-launch (from dbus-x11), which writes ~/.dbus and outlives the program.
NO_SESSION_BUS=unix:path=/nonexistent/nubilo-no-session-bus

# The time of the commit checked out in the folder $1, for files made from it; outside a
# clone, SOURCE_DATE_EPOCH or the time of its CMakeLists.txt.
commit_time() {
    git -C "$1" log -1 --format=%ct 2>/dev/null \
        || echo "${SOURCE_DATE_EPOCH:-$(stat -c %Y "$1/CMakeLists.txt")}"
}

# Starts a fresh log named $1 unless a calling script already did.
start_log() {
    if [ -z "${NUBILO_LOG:-}" ]; then
        mkdir -p "$LOG_DIR"
        export NUBILO_LOG=$LOG_DIR/$1
        : >"$NUBILO_LOG"
    fi
}

# Ends a failed stage: its line, then the end of the log and where the rest is.
stage_failed() {
    echo "failed"
    echo "--- last lines of $NUBILO_LOG:" >&2
    tail -n 15 "$NUBILO_LOG" >&2
    echo "--- the full output is in $NUBILO_LOG" >&2
    exit 1
}

# stage LABEL COMMAND...: runs the command (or function) with its output in the log.
stage() {
    local label=$1
    shift
    printf '%s ... ' "$label"
    echo "=== $label: $*" >>"$NUBILO_LOG"
    # Not inside "if": there bash would ignore set -e in a function run as the command.
    local status=0
    set +e
    (set -e; "$@") >>"$NUBILO_LOG" 2>&1
    status=$?
    set -e
    ((status == 0)) || stage_failed
    echo "done"
}

# build_stage LABEL COMMAND...: like stage, for a build that prints "[ 42%]" lines (make) or
# "[420/1000]" lines (ninja). On a terminal the percentage counts up in place; elsewhere (a CI
# log) every tenth is added.
build_stage() {
    local label=$1
    shift
    printf '%s ... ' "$label"
    echo "=== $label: $*" >>"$NUBILO_LOG"
    local shown=-1 percent
    # With pipefail the pipeline fails when the build does.
    if "$@" 2>&1 | tee -a "$NUBILO_LOG" | while IFS= read -r line; do
        if [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
            percent=${BASH_REMATCH[1]}
        elif [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
            percent=$((BASH_REMATCH[1] * 100 / BASH_REMATCH[2]))
        else
            continue
        fi
        if [ -t 1 ]; then
            printf '\r%s ... %3d%%' "$label" "$percent"
        elif ((percent / 10 > shown / 10)); then
            printf '%d%% ' "$percent"
        fi
        shown=$percent
    done; then
        [ -t 1 ] && printf '\r%s ... ' "$label"
        echo "done"
    else
        [ -t 1 ] && printf ' '
        stage_failed
    fi
}

# Menus and icon views notice changes by the folders' times, or by caches where there are
# some; a cache is only refreshed, never started, since a stale one would hide new files.
refresh_caches() {
    local icons=$DATA_HOME/icons/hicolor apps=$DATA_HOME/applications
    if [ -d "$icons" ]; then
        touch "$icons"
        if [ -f "$icons/icon-theme.cache" ] && command -v gtk-update-icon-cache >/dev/null; then
            gtk-update-icon-cache -q -t "$icons" || true
        fi
    fi
    if [ -f "$apps/mimeinfo.cache" ] && command -v update-desktop-database >/dev/null; then
        update-desktop-database -q "$apps" || true
    fi
}

# Each file is copied beside its place and renamed over it: the rename replaces a program
# that is running (copying onto it fails with "Text file busy") and leaves no half file.
place() {
    mkdir -p "$(dirname "$2")"
    cp "$1" "$2.new"
    mv -f "$2.new" "$2"
}

# place_tree FROM TO: places every file of the folder FROM in TO, and removes from TO what
# FROM no longer has.
place_tree() {
    local from=$1 to=$2 file
    while IFS= read -r -d '' file; do
        place "$from/$file" "$to/$file"
    done < <(cd "$from" && find . -type f -print0)
    while IFS= read -r -d '' file; do
        [ -f "$from/$file" ] || rm -f "$to/$file"
    done < <(cd "$to" && find . -type f -print0)
    find "$to" -mindepth 1 -type d -empty -delete
}

# install_from DIR: installs for this user what DIR holds: the program and LICENSE, for a
# prebuilt bundle also its qt.conf and runtime/ (Qt's libraries, plugins and translations),
# and share/ with the menu entry, the icons and the software centres' description. Only
# these files are replaced; the pictures beside the program stay as they are.
install_from() {
    local from=$1
    if [ -d "$from/runtime" ]; then
        place_tree "$from/runtime" "$NUBILO_DIR/runtime"
        place "$from/qt.conf" "$NUBILO_DIR/qt.conf"
    else
        # A program built here runs on the system's Qt; a bundle's Qt left behind would be
        # loaded into it through qt.conf.
        rm -rf "$NUBILO_DIR/qt.conf" "$NUBILO_DIR/runtime"
    fi
    place "$from/nubilo" "$NUBILO_DIR/nubilo"
    place "$from/LICENSE" "$NUBILO_DIR/LICENSE"
    # The command is a link: the program finds its folder, and so its pictures, through it.
    mkdir -p "$BIN_HOME"
    ln -sfn "$NUBILO_DIR/nubilo" "$BIN_HOME/nubilo"
    local size icon
    for size in "${ICON_SIZES[@]}"; do
        icon=icons/hicolor/${size}x$size/apps/nubilo.png
        place "$from/share/$icon" "$DATA_HOME/$icon"
    done
    place "$from/share/metainfo/$METAINFO" "$DATA_HOME/metainfo/$METAINFO"
    # A desktop session's PATH may lack ~/.local/bin, so the entry names the program itself.
    local entry=$DATA_HOME/applications/nubilo.desktop
    mkdir -p "$(dirname "$entry")"
    sed "s|^Exec=.*|Exec=\"$NUBILO_DIR/nubilo\"|" "$from/share/applications/nubilo.desktop" >"$entry.new"
    mv -f "$entry.new" "$entry"
    refresh_caches
}

# Prints how the command nubilo can be used here, if not simply by its name. Debian's
# ~/.profile puts ~/.local/bin on PATH at login if it exists; root's does not.
command_note() {
    if [[ ":$PATH:" == *":$BIN_HOME:"* ]]; then
        return
    elif env -i HOME="$HOME" USER="${USER:-}" bash -lc 'command -v nubilo' </dev/null >/dev/null 2>&1; then
        echo "The command nubilo works in shells started after your next login."
    else
        echo "Your PATH lacks $BIN_HOME, so start it as $NUBILO_DIR/nubilo."
    fi
}

# start_xvfb FILE: starts a virtual X server on a free display and waits for it to answer.
# Its display number goes into FILE, its process id into XVFB_PID.
start_xvfb() {
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$1" >/dev/null 2>&1 &
    XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}

# use_wine PROFILE [DESKTOP]: Windows programs started after this run under Wine, in the Wine
# profile PROFILE, making it first if need be (about 13 s and 700 MB), without prompts for
# Wine's Mono and Gecko and without Wine's debugging messages. The profile gets the fonts
# Wine brings: a fresh one has none, and Qt would fall back to a serif font. With DESKTOP
# (such as 1280x1024), a new profile's windows open on a Windows desktop of that size, one
# X11 window: without a window manager Wine waits two seconds at every window that closes.
use_wine() {
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    local desktop=${2:-}
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
            wineserver --wait
            cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
        fi
    ) 9>"$WINEPREFIX.lock"
}

# The Windows form of a Linux path, as Wine shows it: the Linux file system is drive Z:.
windows_path() {
    local path=${1//\//\\}
    echo "Z:$path"
}

# Building for Windows on Debian: the compiler (mingw-w64 with POSIX threads, which Qt needs),
# and what packing the zip and the setup needs; the tests add Wine and a virtual X server.
WINDOWS_CXX=x86_64-w64-mingw32-g++-posix
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix nsis zip)
WINDOWS_TEST_PACKAGES=("${WINDOWS_PACKAGES[@]}" wine wine64 fonts-wine xvfb xdotool unzip)

# Prints the folder of the Qt for Windows to build with: NUBILO_WINDOWS_QT, or else the one
# that windows-qt.sh made in the cache. Its version must be the host Qt's, whose moc and rcc
# the build runs. Fails, saying why, when there is no such Qt.
find_windows_qt() {
    local host folder version
    host=$(qtpaths6 --qt-version 2>/dev/null) || { echo "there is no Qt on this system" >&2; return 1; }
    folder=${NUBILO_WINDOWS_QT:-$CACHE_DIR/qt-$host-windows-x86_64}
    version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$folder/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake" 2>/dev/null) \
        || true
    if [ -z "$version" ]; then
        echo "there is no Qt for Windows in $folder" >&2
        return 1
    elif [ "$version" != "$host" ]; then
        echo "the Qt for Windows in $folder is $version, and this system's Qt is $host" >&2
        return 1
    fi
    realpath "$folder"
}

# configure_windows_build SOURCE_DIR BUILD_DIR QT_FOLDER: a release build for Windows.
configure_windows_build() {
    stage "configuring for Windows" cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$1/scripts/windows-toolchain.cmake" -DNUBILO_WINDOWS_QT="$3"
}
