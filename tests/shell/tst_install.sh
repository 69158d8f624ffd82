#!/usr/bin/env bash
# Installs Nubilo for a user whose home is a fresh temporary folder, from the build the
# other tests run from, installs again while the program runs, and uninstalls; the
# pictures must survive both. Usage: tst_install.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2

HOME=$(mktemp -d)
export HOME
unset XDG_DATA_HOME XDG_CACHE_HOME NUBILO_LOG
program_pid=""
trap '[ -z "$program_pid" ] || kill "$program_pid"; rm -rf "$HOME"' EXIT
apps=$HOME/.local/share/applications
icons=$HOME/.local/share/icons/hicolor

fail() { echo "FAIL: $*" >&2; exit 1; }
run() { bash "$source_dir/scripts/$1" "${@:2}" >"$HOME/out" 2>&1 || { cat "$HOME/out"; fail "$1"; }; }

# Without a display the window is not opened, and that is no failure (Qt would abort).
DISPLAY="" WAYLAND_DISPLAY="" QT_QPA_PLATFORM="" run start.sh "$build_dir"
grep -q "installed in $HOME/Nubilo" "$HOME/out" && grep -q "command: nubilo" "$HOME/out" \
    || { cat "$HOME/out"; fail "start.sh without a display does not say how to start it"; }
[ -x "$HOME/Nubilo/nubilo" ] && [ -O "$HOME/Nubilo" ] || fail "program not in ~/Nubilo"
[ "$(readlink -f "$HOME/.local/bin/nubilo")" = "$HOME/Nubilo/nubilo" ] || fail "command"
desktop-file-validate "$apps/nubilo.desktop" || fail "menu entry invalid"
grep -qx "Exec=\"$HOME/Nubilo/nubilo\"" "$apps/nubilo.desktop" || fail "entry starts another program"
# Every icon the generator draws, in its size.
for icon in "$source_dir"/data/icons/globe*.png; do
    size=${icon##*/globe}
    size=${size%.png}
    # A PNG's width and height are the first two words after the signature and "IHDR".
    header=$(od -An -tx1 -j12 -N12 "$icons/${size}x$size/apps/nubilo.png" | tr -d ' \n')
    printf -v want '49484452%08x%08x' "$size" "$size"
    [ "$header" = "$want" ] || fail "icon ${size}x$size"
done

# A picture and a file of the user's own; the running program's file is replaced in place.
picture=$HOME/Nubilo/sat070321-1400.gif
printf 'GIF89a picture' >"$picture"
echo note >"$HOME/Nubilo/notes.txt"
"$HOME/.local/bin/nubilo" &
program_pid=$!
for _ in $(seq 50); do
    [ "$(readlink "/proc/$program_pid/exe")" = "$HOME/Nubilo/nubilo" ] && break
    sleep 0.1
done
[ "$(readlink "/proc/$program_pid/exe")" = "$HOME/Nubilo/nubilo" ] || fail "the command does not run the program"
old_inode=$(stat -c %i "$HOME/Nubilo/nubilo")
run install.sh "$build_dir"
[ "$(stat -c %i "$HOME/Nubilo/nubilo")" != "$old_inode" ] || fail "program not replaced"
[ "$(cat "$picture")" = "GIF89a picture" ] || fail "second install changed the picture"
kill "$program_pid"
program_pid=""

mkdir -p "$HOME/.local/share/nubilo"
printf 'cmake\nsl\n' >"$HOME/.local/share/nubilo/installed-packages"
run uninstall.sh
grep -q "apt-get remove cmake sl" "$HOME/out" || fail "uninstall does not name the packages installed for it"
for gone in "$HOME/Nubilo/nubilo" "$HOME/.local/bin/nubilo" "$apps/nubilo.desktop" \
    "$icons/48x48/apps/nubilo.png" "$HOME/.local/share/metainfo"; do
    [ ! -e "$gone" ] && [ ! -L "$gone" ] || fail "uninstall left $gone"
done
[ "$(cat "$picture")" = "GIF89a picture" ] && [ -f "$HOME/Nubilo/notes.txt" ] || fail "uninstall lost a file"
grep -q "$HOME/Nubilo" "$HOME/out" || fail "uninstall does not say where the pictures are"

# Nothing of the user's left: the folder goes too.
rm "$picture" "$HOME/Nubilo/notes.txt"
run install.sh "$build_dir"
run uninstall.sh
[ ! -e "$HOME/Nubilo" ] || fail "empty ~/Nubilo left behind"

# A user who may not use sudo is told what is missing and the one command to run as root.
# Root tries that as nobody; others skip it, as their sudo might really install.
if [ "$(id -u)" -eq 0 ] && setpriv --reuid=nobody --regid=nogroup --clear-groups test -r "$source_dir/scripts/deps.sh"; then
    mkdir -m 777 "$HOME/nobody"
    chmod 755 "$HOME"
    HOME=$HOME/nobody setpriv --reuid=nobody --regid=nogroup --clear-groups \
        bash "$source_dir/scripts/deps.sh" nubilo-no-such-package </dev/null >"$HOME/out" 2>&1 \
        && fail "deps.sh installs without root"
    grep -q "apt-get install -y --no-install-recommends nubilo-no-such-package$" "$HOME/out" \
        || { cat "$HOME/out"; fail "no root command for a missing package"; }
else
    echo "SKIP: the message without sudo needs root to try it as nobody"
fi
echo "PASS"
