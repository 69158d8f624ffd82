# shellcheck shell=bash
# Sourced: where Nubilo goes for this user, and how its files are placed there.

NUBILO_DIR=$HOME/Nubilo
DATA_HOME=${XDG_DATA_HOME:-$HOME/.local/share}
BIN_HOME=$HOME/.local/bin
STATE_DIR=$DATA_HOME/nubilo
# The packages deps.sh installed, one a line, so that uninstall.sh can name them.
PACKAGES_FILE=$STATE_DIR/installed-packages
METAINFO=io.github.nubilo.nubilo.metainfo.xml

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
    # The icons in every size the build installs.
    local icon
    for icon in "$from"/share/icons/hicolor/*/apps/nubilo.png; do
        icon=${icon#"$from/share/"}
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
