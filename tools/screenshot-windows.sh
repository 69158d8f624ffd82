#!/usr/bin/env bash
# Takes a screenshot of Nubilo for Windows playing an animation: the program from the zip that
# packaging/windows/make-packages.sh makes, with the sample pictures, under Wine in a fresh Wine profile, on a
# small Windows desktop in a virtual X server. With SCALE, a percentage such as 150, the display
# is scaled as Windows' display settings do it, and the desktop grows with it.
#
# Usage: tools/screenshot-windows.sh BUILD_DIR ZIP OUTPUT.png [SCALE]
#   (BUILD_DIR: a Linux build, whose tools/nubilo_makesamples draws the samples)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
source "$source_dir/scripts/lib/headless.sh"
source "$source_dir/scripts/lib/windows.sh"
if [ "$#" -lt 3 ] || [ "$#" -gt 4 ] || ! [[ "${4:-100}" =~ ^[1-9][0-9]{2}$ ]]; then
    echo "usage: $0 BUILD_DIR ZIP OUTPUT.png [SCALE]    (SCALE: a percentage, 100 to 999)" >&2
    exit 2
fi
scale=${4:-100}
makesamples=$(cd "$1" && pwd)/tools/nubilo_makesamples
zip=$(realpath "$2")
output=$(realpath -m "$3")
work=$(mktemp -d)
# A clean-up goes to its end, whatever is there to clean up.
trap 'set +e; end_wine "$work/profile"; [ -z "${XVFB_PID:-}" ] || kill "$XVFB_PID"; rm -rf "$work"' EXIT
bash "$source_dir/scripts/deps.sh" "${WINDOWS_TEST_PACKAGES[@]}" imagemagick >/dev/null

desktop=($((800 * scale / 100)) $((480 * scale / 100)))
use_wine "$work/profile" "${desktop[0]}x${desktop[1]}" "$scale"
start_xvfb "$work/display" "${desktop[0]}x${desktop[1]}"
export DISPLAY=:$(cat "$work/display")
(cd "$work" && unzip -q "$zip")
"$makesamples" "$work/Nubilo"
(cd "$work/Nubilo" && exec wine ./nubilo.exe) >/dev/null 2>&1 &
disown
wait_for xdotool search --name 'Wine desktop' || { echo "Nubilo's Windows desktop did not show" >&2; exit 1; }
sleep 3   # the window's first paint

# The window opens in the middle of the desktop, over the picture display: a click there makes
# it the active window without pressing anything. Then the keyboard, in the window's tab order
# from "Hilfe/Info": "alle auswählen", then "Animation starten".
xdotool mousemove $((desktop[0] / 2)) $((desktop[1] / 2)) click 1
sleep 0.3
xdotool key --delay 150 Tab Tab Tab space Tab Tab Tab space
sleep 1.6   # a few pictures into the animation
mkdir -p "$(dirname "$output")"
import -window root -crop "${desktop[0]}x${desktop[1]}+0+0" +repage "$output"
echo "wrote $output"
