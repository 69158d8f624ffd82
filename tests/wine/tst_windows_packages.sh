#!/usr/bin/env bash
# Makes the zip and the setup for Windows twice, and once more signed with a throw-away
# certificate, and tries them under Wine in a fresh Wine profile, as a new user would: the
# setup refuses a folder the user may not write to, installs silently, without administrator
# rights, waits while Nubilo runs, installs again over the pictures keeping the Start menu
# entry, upgrades all or nothing while a DLL is held throughout or briefly or is read-only, or
# after a setup ended midway, stops when the installed version's uninstaller fails, and its
# uninstaller keeps itself and its entry while a DLL is held, and else leaves only the user's
# files; the zip's program, with its manifest, starts from wherever it is unpacked.
# Usage: tst_windows_packages.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
source "$source_dir/scripts/lib/headless.sh"
source "$source_dir/scripts/lib/packaging.sh"
read_only=$source_dir/tests/wine/read-only-folder.sh
# The packages come from this build, with its Qt.
export NUBILO_WINDOWS_QT NUBILO_LOG=$work/windows.log
NUBILO_WINDOWS_QT=$(sed -n 's/^NUBILO_WINDOWS_QT:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
# Whatever failed, all is cleaned up: this profile's Wine ends before the mount goes.
trap 'set +e; end_wine "$work/profile"; kill "${XVFB_PID:-}" 2>/dev/null; bash "$read_only" remove "$work/read-only"
    rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
make_packages() {
    bash "$source_dir/packaging/windows/make-packages.sh" "$work/$1" "$build_dir" >"$work/out" 2>&1 \
        || { cat "$work/out" "$NUBILO_LOG"; fail "make-packages.sh"; }
}

for run in 1 2; do
    make_packages "dist$run"
done
zip=$(echo "$work"/dist1/nubilo-*-windows-x86_64.zip)
setup=$(echo "$work"/dist1/nubilo-*-windows-x86_64-setup.exe)
for file in "$zip" "$setup"; do
    cmp "$file" "$work/dist2/$(basename "$file")" || fail "two packages of one commit differ"
    (cd "$work/dist1" && sha256sum -c --quiet "$(basename "$file").sha256") || fail "checksum"
done
# The release test takes them (check.sh names the folder).
[ -z "${NUBILO_TEST_PACKAGES:-}" ] || cp "$zip" "$setup" "$NUBILO_TEST_PACKAGES/"

# Signed with a throw-away certificate, the setup is tried below: it, each program file it
# installs and the uninstaller it writes must carry a valid signature.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
    -subj "/CN=Nubilo test" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl rand -hex 16 >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" -out "$work/cert.p12"
NUBILO_SIGN_PKCS12=$work/cert.p12 NUBILO_SIGN_PASSWORD_FILE=$work/password make_packages signed
signed_setup=$work/signed/$(basename "$setup")

start_xvfb "$work/display"
export DISPLAY=:$(cat "$work/display")
use_wine "$work/profile"
user=$(id -un)
folder=$WINEPREFIX/drive_c/users/$user/Nubilo
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Nubilo'
entry() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
# The uninstaller runs on from a copy of itself: wait for Wine's processes to end.
run() { wine "$@" >/dev/null 2>&1 && wineserver --wait; }
# Every file in the user's folder (Start menu included), with its size and the time of its last change.
snapshot() { find "$WINEPREFIX/drive_c/users/$user" -type f -printf '%p %s %C@\n' | sort; }
# refused WHEN SETUP ARGUMENT...: the setup ends with error level 2 and writes no file.
refused() {
    local when=$1 before status=0
    shift
    before=$(snapshot)
    wine "$@" >/dev/null 2>&1 || status=$?
    [ "$status" = 2 ] || fail "the setup went on $when (status $status)"
    [ "$(snapshot)" = "$before" ] || fail "the setup changed files $when"
}

# Given silently a folder the user may not write to, the setup installs and registers nothing.
bash "$read_only" make "$work/read-only"
if [ ! -w "$work/read-only" ]; then
    refused "in a folder the user may not write to" "$setup" /S "/D=$(windows_path "$work/read-only")"
    [ -z "$(entry DisplayName)" ] || fail "an uninstall entry for a folder the user may not write to"
fi

run "$setup" /S || fail "the setup"
for file in nubilo.exe Qt6Core.dll libstdc++-6.dll plugins/platforms/qwindows.dll translations/qtbase_de.qm \
    qt.conf uninstall.exe; do
    [ -f "$folder/$file" ] || fail "the setup did not install $file"
done
shortcut="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Nubilo.lnk"
[ -f "$shortcut" ] || fail "no Start menu entry"
version=$(project_version "$build_dir")
windows_folder="C:\\users\\$user\\Nubilo"
for value in "DisplayName=Nubilo" "DisplayVersion=$version" "InstallLocation=$windows_folder" \
    "DisplayIcon=$windows_folder\\nubilo.exe,0" "UninstallString=\"$windows_folder\\uninstall.exe\"" \
    "QuietUninstallString=\"$windows_folder\\uninstall.exe\" /S" "NoModify=0x1" "NoRepair=0x1"; do
    [ "$(entry "${value%%=*}")" = "${value#*=}" ] || fail "uninstall entry ${value%%=*} is '$(entry "${value%%=*}")'"
done
(($(entry EstimatedSize) > 0)) || fail "no EstimatedSize"
nubilo_window() { wait_for xdotool search --name "^Nubilo ${version//./\\.}\$"; }
# starts: the installed Nubilo starts and shows its window.
starts() {
    wine "$folder/nubilo.exe" >/dev/null 2>&1 &
    nubilo_window || fail "the installed program shows no window $1"
    wineserver --kill
}

# A picture and a file of the user's own; while Nubilo runs, the setup changes nothing.
printf 'GIF89a picture' >"$folder/sat070321-1400.gif"
echo note >"$folder/notes.txt"
wine "$folder/nubilo.exe" >/dev/null 2>&1 &
nubilo_window || fail "the installed program shows no window"
refused "while Nubilo ran" "$setup" /S
wineserver --kill

# Installing again, now the signed setup, updates the Start menu entry in place: a hard link
# stands for a pin of the user's, which would be lost with the file.
ln "$shortcut" "$work/pin"
run "$signed_setup" /S || fail "the setup over an installed Nubilo"
[ "$(cat "$folder/sat070321-1400.gif")" = "GIF89a picture" ] || fail "installing again changed the picture"
[ "$shortcut" -ef "$work/pin" ] || fail "installing again made a new Start menu entry"
mapfile -t signed < <(find "$folder" -name '*.exe' -o -name '*.dll')
for file in "$signed_setup" "${signed[@]}"; do
    osslsigncode verify -CAfile "$work/cert.pem" -in "$file" >"$work/out" 2>&1 || { cat "$work/out"; fail "$file: no signature"; }
done
echo "signatures verified: the setup and ${#signed[@]} files it installed"

# hold FILE [WHEN]: another program holds FILE without delete sharing, as a virus scanner may,
# until release; with WHEN, for half a second from when the file WHEN appears.
printf '%s\n' '#include <windows.h>' '#include <stdio.h>' 'int wmain(int argc, wchar_t **argv) {' \
    'if (CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0) == INVALID_HANDLE_VALUE) return 1;' \
    'puts("held"); fflush(stdout); if (argc < 3) { getchar(); return 0; }' \
    'while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) Sleep(5); Sleep(500); return 0; }' \
    | x86_64-w64-mingw32-gcc-posix -municode -x c -o "$work/hold.exe" -
mkfifo "$work/hold"
hold() {
    wine "$work/hold.exe" "$(windows_path "$1")" ${2:+"$(windows_path "$2")"} <"$work/hold" >"$work/held" 2>/dev/null &
    holder=$!
    exec 3>"$work/hold"
    wait_for test -s "$work/held" || fail "$1 is not held"
}
release() { exec 3>&-; wait "$holder"; }
# Every file and folder of the user's, with the sizes of the files.
listing() { find "$WINEPREFIX/drive_c/users/$user" \( -type f -printf '%p %s\n' \) -o -printf '%p\n' | sort; }
away=$folder/Nubilo-bisher
# whole: the program's files, each of the zip's and the uninstaller, and nothing moved aside.
whole() {
    [ "$(cd "$folder" && find . -type f ! -name 'sat*.gif' ! -name notes.txt | cut -c3- | LC_ALL=C sort)" \
        = "$( (unzip -Z1 "$zip" | sed -n 's|^Nubilo/\(.*[^/]\)$|\1|p'; echo uninstall.exe) | LC_ALL=C sort)" ] \
        && [ ! -e "$away" ]
}

# An upgrade while a DLL of the installed version is held throughout: it stops, and the
# installed version is as it was, with its entries, and starts.
hold "$folder/Qt6Core.dll"
before=$(listing)
status=0
wine "$setup" /S >/dev/null 2>&1 || status=$?
release
[ "$status" = 2 ] || fail "an upgrade over a held DLL ended with $status"
[ "$(listing)" = "$before" ] || fail "an upgrade over a held DLL changed files: $(diff <(echo "$before") <(listing))"
[ "$(entry DisplayName)" = Nubilo ] || fail "an upgrade over a held DLL removed the uninstall entry"
starts "after an upgrade over a held DLL"
# Held for half a second, the DLL is waited for.
hold "$folder/Qt6Core.dll" "$away/LICENSE"
run "$setup" /S && whole || fail "an upgrade over a DLL held for 0.5 s"
release
# A DLL marked read-only, as some backups leave it: an upgrade replaces it, the uninstaller removes it.
chmod a-w "$folder/Qt6Gui.dll"
run "$setup" /S && whole || fail "an upgrade over a read-only DLL"
chmod a-w "$folder/Qt6Gui.dll"
status=0
wine "$folder/uninstall.exe" /S "_?=$windows_folder" >/dev/null 2>&1 || status=$?
[ "$status" = 0 ] && [ ! -e "$folder/Qt6Gui.dll" ] || fail "the uninstaller left a read-only DLL (status $status)"
# A setup ended once it had moved the installed version aside: the next one brings it back
# and upgrades it.
run "$setup" /S || fail "the setup after an uninstall"
mkdir "$away"
unzip -Z1 "$zip" | sed -n 's|^Nubilo/\([^/]*\).*|\1|p' | sort -u | (cd "$folder" && xargs mv -t "$away" uninstall.exe)
run "$setup" /S && whole || fail "the setup after one ended midway: $(cd "$folder" && find . | tr '\n' ' ')"
starts "after a setup ended midway"

# An installed version whose uninstaller fails: the setup stops, rather than install over
# what that version left.
mv "$folder/uninstall.exe" "$work/uninstall.exe"
printf 'int main(void) { return 1; }\n' | x86_64-w64-mingw32-gcc-posix -x c -o "$folder/uninstall.exe" -
refused "when the installed version's uninstaller failed" "$setup" /S
mv -f "$work/uninstall.exe" "$folder/uninstall.exe"

# A DLL held: the uninstaller ends with an error level and keeps itself, its entry and the
# Start menu entry for another run, and a setup stops over it. The level is read as the setup reads it, with _?=: without, the uninstaller
# hands over to a copy of itself, and its first process always ends with 0.
hold "$folder/Qt6Core.dll"
status=0
wine "$folder/uninstall.exe" /S "_?=$windows_folder" >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "the uninstaller ended with $status while a DLL stayed"
[ -f "$folder/uninstall.exe" ] && [ -n "$(entry DisplayName)" ] && [ -e "$shortcut" ] \
    || fail "the uninstaller removed itself, its entry or the Start menu entry while a DLL stayed"
status=0
wine "$setup" /S >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] && [ ! -e "$folder/nubilo.exe" ] || fail "the setup installed over a failed uninstaller (status $status)"
release

status=0
wine "$folder/uninstall.exe" /S "_?=$windows_folder" >/dev/null 2>&1 || status=$?
[ "$status" = 0 ] || fail "the uninstaller ended with $status once the DLL was free"
# Run in place, an uninstaller cannot delete itself, and leaves that to its caller; run as the
# user runs it, from a copy, it does.
run "$folder/uninstall.exe" /S || fail "the uninstaller"
[ "$(cd "$folder" && find . -type f | sort)" = "$(printf './notes.txt\n./sat070321-1400.gif')" ] \
    || fail "the uninstaller left more than the user's files: $(cd "$folder" && find . | tr '\n' ' ')"
[ -z "$(entry DisplayName)" ] || fail "the uninstall entry is left"
[ ! -e "$shortcut" ] || fail "the Start menu entry is left"

# Unpacked anywhere, such as a USB stick, the zip's program starts with Qt and its Windows
# platform and style from its own folder: Wine maps the DLLs it loads from their files.
unpacked="$work/USB Stick/Nubilo"
mkdir -p "$work/USB Stick" && (cd "$work/USB Stick" && unzip -q "$zip")
# It carries one manifest, ours, that Windows reads before it starts the program; Windows
# refuses to start one whose manifest is not well-formed XML, which Wine does not check.
{ [ "$(7z l "$unpacked/nubilo.exe" | grep -c '\.rsrc/.*MANIFEST/')" = 1 ] \
    && 7z e -so "$unpacked/nubilo.exe" .rsrc/MANIFEST/1 | cmp -s - "$source_dir/data/nubilo.manifest"; } || fail "not one manifest, ours"
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$source_dir/data/nubilo.manifest" \
    || fail "the manifest is not well-formed"
wine "$unpacked/nubilo.exe" >/dev/null 2>&1 &
nubilo_window || fail "the zip's program shows no window"
maps=$(sed -n 's/^[^ ]* [^ ]* [^ ]* [^ ]* [^ ]* *\(.*\.dll\)$/\1/p' \
    "/proc/$(pgrep -f "$unpacked/nubilo.exe" | head -n 1)/maps" | sort -u)
for file in Qt6Core.dll Qt6Widgets.dll libstdc++-6.dll plugins/platforms/qwindows.dll \
    plugins/styles/qwindowsvistastyle.dll; do
    grep -qxF "$unpacked/$file" <<<"$maps" || fail "$file is not loaded from the zip's folder"
done
grep -i 'qt6' <<<"$maps" | grep -vF "$unpacked/" && fail "Qt's files from elsewhere"
echo "PASS"
