#!/usr/bin/env bash
# Start-up of the prebuilt bundle beside the program built here on the system's Qt: the time
# from starting the program to its window being mapped, on a virtual X server, each program
# from a folder of its own with the same sample pictures, alternately, after one warm-up run
# each. Prints the medians and their ratio.
#
# Usage: bench/bench_startup.sh BUILD_DIR BUNDLE.tar.xz [ROUNDS]    (default: 15 rounds)
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/headless.sh"
build_dir=$(cd "$1" && pwd)
tarball=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
rounds=${3:-15}
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT

mkdir "$work/source"
cp "$build_dir/nubilo" "$work/source/"
"$build_dir/tools/nubilo_makesamples" "$work/source"
tar -xJf "$tarball" -C "$work"
bundle=$(echo "$work"/nubilo-*/)
cp "$work/source"/sat*.gif "$bundle"

start_xvfb "$work/display"
pids+=("$XVFB_PID")
export DISPLAY=:$(cat "$work/display")

# xev reports every window mapped on the screen; without a window manager the program's
# window is the first one. Prints the milliseconds from the start to that moment.
time_to_window() {
    local line start
    coproc WATCH { exec xev -root -event substructure; }
    # xev is ready once it has said so much as one line about itself.
    sleep 0.2
    start=$EPOCHREALTIME
    env -i HOME="$HOME" DISPLAY="$DISPLAY" DBUS_SESSION_BUS_ADDRESS="$NO_SESSION_BUS" "$1" 2>/dev/null &
    local program=$!
    while IFS= read -r line <&"${WATCH[0]}"; do
        [[ $line == MapNotify* ]] && break
    done
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
    kill "$program" "$WATCH_PID"
    wait "$program" "$WATCH_PID" 2>/dev/null || true
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

time_to_window "$work/source/nubilo" >/dev/null
time_to_window "$bundle/nubilo" >/dev/null
for _ in $(seq "$rounds"); do
    time_to_window "$work/source/nubilo" >>"$work/source.ms"
    time_to_window "$bundle/nubilo" >>"$work/bundle.ms"
done
source_ms=$(median <"$work/source.ms")
bundle_ms=$(median <"$work/bundle.ms")
echo "start-up to the mapped window, median of $rounds runs each:"
echo "  built here, system's Qt:  $source_ms ms"
echo "  prebuilt bundle:          $bundle_ms ms"
awk -v a="$bundle_ms" -v b="$source_ms" 'BEGIN { printf "  ratio bundle / built here: %.2f (goal: at most 1.10)\n", a / b }'
