#!/usr/bin/env bash
# Makes the prebuilt bundle twice, installs it for a user whose home is a fresh temporary
# folder, and starts it there: it must run on its own Qt only. Its install.sh must refuse a
# system that cannot run it; a program built here may replace it, and it that one.
# Usage: tst_bundle.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
export HOME=$work/home
unset XDG_DATA_HOME XDG_CACHE_HOME NUBILO_LOG
source "$source_dir/scripts/lib/headless.sh"
source "$source_dir/scripts/lib/packaging.sh"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Made in a home of its own (its log, the packages it installs), so the user's starts empty.
for run in 1 2; do
    HOME=$work/maker bash "$source_dir/packaging/linux/make-bundle.sh" "$work/dist$run" >"$work/out" 2>&1 \
        || { cat "$work/out"; fail "make-bundle.sh"; }
done
tarball=$(cd "$work/dist1" && echo nubilo-*-linux-x86_64.tar.xz)
cmp "$work/dist1/$tarball" "$work/dist2/$tarball" || fail "two bundles of one commit differ"
(cd "$work/dist1" && sha256sum -c --quiet "$tarball.sha256") || fail "checksum"
# The release test takes it (check.sh names the folder).
[ -z "${NUBILO_TEST_PACKAGES:-}" ] || cp "$work/dist1/$tarball" "$NUBILO_TEST_PACKAGES/"
# A file whose libraries cannot be read stops the walk that collects them, which names it.
(carry_dependencies false echo "$work" "$work/unreadable") 2>"$work/out" && fail "the walk went on past a file it could not read"
grep -qF "$work/unreadable" "$work/out" || fail "the walk does not name the file it could not read"
tar -xJf "$work/dist1/$tarball" -C "$work"
bundle=$(echo "$work"/nubilo-*/)
appstreamcli validate --no-net "$bundle"/share/metainfo/*.metainfo.xml >"$work/out" || { cat "$work/out"; fail "metainfo"; }

# A system that lacks a library the program needs, or has an older glibc: nothing is placed.
cp -r "$bundle" "$work/lacking"
echo 'void f() {}' | g++ -shared -x c++ - -o "$work/libnubilo-absent.so" -Wl,-soname,libnubilo-absent.so.1
g++ -shared -x c++ /dev/null -o "$work/lacking/runtime/plugins/platforms/libneedy.so" \
    -L"$work" -Wl,--no-as-needed -lnubilo-absent
cp -r "$bundle" "$work/old"
echo 99.0 >"$work/old/runtime/needs-glibc"
for system in lacking:libnubilo-absent.so.1 old:"needs glibc 99.0"; do
    bash "$work/${system%%:*}/install.sh" >"$work/out" 2>&1 && fail "installs on a system it cannot run on"
    grep -q "${system#*:}" "$work/out" || { cat "$work/out"; fail "does not say what is missing"; }
    [ ! -e "$HOME" ] || fail "placed files on a system it cannot run on"
done

bash "$bundle/install.sh" >"$work/out" 2>&1 || { cat "$work/out"; fail "install.sh"; }
printf 'GIF89a picture' >"$HOME/Nubilo/sat070321-1400.gif"

# Started from a clean environment, and from one that points Qt at the system's plugins and
# asks for Wayland, which the bundle lacks, the program maps Qt's libraries, its plugins and
# its German texts from its own folder only. Neither has a session bus, nor starts one.
start_xvfb "$work/display"
pids+=("$XVFB_PID")
system_plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
for session in "" "QT_PLUGIN_PATH=$system_plugins QT_QPA_PLATFORMTHEME=gtk3 QT_QPA_PLATFORM=wayland"; do
    # shellcheck disable=SC2086 # the session's variables, one word each
    env -i HOME="$HOME" DISPLAY=":$(cat "$work/display")" DBUS_SESSION_BUS_ADDRESS="$NO_SESSION_BUS" $session \
        "$HOME/Nubilo/nubilo" 2>"$work/out" &
    pids+=($!)
    # The German texts are loaded last, after the platform; on a busy machine well after it.
    for _ in $(seq 100); do grep -qs 'translations/qtbase_de.qm$' "/proc/$!/maps" && break; sleep 0.1; done
    qt=$(awk '$6 ~ /libQt6|\/plugins\/|\.qm$/ { print $6 }' "/proc/$!/maps" 2>/dev/null | sort -u) || true
    kill $! 2>/dev/null || { cat "$work/out"; fail "the program ended by itself (${session:-clean environment})"; }
    grep -v "^$HOME/Nubilo/runtime/" <<<"$qt" && fail "Qt's files from elsewhere (${session:-clean environment})"
    # The GIF reader is loaded with the first picture shown, by some Qt versions at the start.
    for file in lib/libQt6Core.so.6 lib/libQt6Gui.so.6 lib/libQt6Widgets.so.6 lib/libQt6Network.so.6 \
        plugins/platforms/libqxcb.so translations/qtbase_de.qm; do
        grep -qx "$HOME/Nubilo/runtime/$file" <<<"$qt" || fail "$file not mapped (${session:-clean environment})"
    done
done

# Built here over the bundle, and the bundle again over that: each program with its own Qt.
bash "$source_dir/scripts/install.sh" "$build_dir" >"$work/out" 2>&1 || { cat "$work/out"; fail "install.sh from source"; }
[ ! -e "$HOME/Nubilo/runtime" ] && [ ! -e "$HOME/Nubilo/qt.conf" ] || fail "the bundle's Qt left beside a program built here"
bash "$bundle/install.sh" >"$work/out" 2>&1 || { cat "$work/out"; fail "install.sh over a program built here"; }
cmp "$bundle/nubilo" "$HOME/Nubilo/nubilo" && diff -r "$bundle/runtime" "$HOME/Nubilo/runtime" || fail "bundle over source"

bash "$bundle/uninstall.sh" >"$work/out" 2>&1 || { cat "$work/out"; fail "uninstall.sh"; }
[ "$(cd "$HOME" && find . -type f)" = "./Nubilo/sat070321-1400.gif" ] || fail "uninstall left more than the picture"
echo "PASS"
