#!/usr/bin/env bash
# Installs this prebuilt Nubilo for the user running it, without building and without root:
# the program with its own Qt into ~/Nubilo, where its pictures live beside it, the command
# ~/.local/bin/nubilo, the menu entry and the icons. Installing again replaces the program's
# files only, also while it runs, never a picture. It first checks that this system can run
# the program, and places nothing if it cannot.
#
# Usage: install.sh    (from the unpacked bundle)
set -euo pipefail
bundle_dir=$(cd "$(dirname "$0")" && pwd)
source "$bundle_dir/lib/userinstall.sh"
source "$bundle_dir/lib/stages.sh"

# First glibc's version, then the system's own loader tells whether every library that the
# program, its libraries and its plugins need is there, with the symbols they use (as
# ldd -r reports it).
loader=/lib64/ld-linux-x86-64.so.2
needs_glibc=$(cat "$bundle_dir/runtime/needs-glibc")
if [ "$(uname -m)" != x86_64 ] || ! [ -x "$loader" ]; then
    echo "Nubilo cannot run on this system: it is made for x86-64 Linux with the GNU C library (glibc)." >&2
    exit 1
fi
glibc=$(getconf GNU_LIBC_VERSION 2>/dev/null | sed -n 's/^glibc //p') || true
if [ -n "$glibc" ] && [ "$(printf '%s\n' "$needs_glibc" "$glibc" | sort -V | head -n 1)" != "$needs_glibc" ]; then
    echo "Nubilo cannot run on this system: it needs glibc $needs_glibc or newer, and this system has $glibc." >&2
    echo "Nothing was installed." >&2
    exit 1
fi
report=$(
    cd "$bundle_dir"
    for file in nubilo runtime/lib/* runtime/plugins/*/*; do
        LD_LIBRARY_PATH=$bundle_dir/runtime/lib LD_TRACE_LOADED_OBJECTS=1 LD_WARN=yes LD_BIND_NOW=yes \
            "$loader" "./$file" 2>&1 || true
    done
)
# Missing libraries first: their symbols are missing too, and would only hide them.
problems=$(sed -n 's/^\t*\([^ ]*\) => not found$/\1/p' <<<"$report" | sort -u)
[ -n "$problems" ] || problems=$(sed -n "s/.*\/\([^/ :]*\): version \`\([^']*\)' not found.*/\1 (\2)/p" <<<"$report" | sort -u)
[ -n "$problems" ] || problems=$(sed -n 's/^undefined symbol: \([^ \t,]*\).*/the symbol \1/p' <<<"$report" | sort -u)
if [ -n "$problems" ]; then
    count=$(wc -l <<<"$problems")
    list=$(head -n 8 <<<"$problems" | paste -sd , | sed 's/,/, /g')
    ((count <= 8)) || list+=" and $((count - 8)) more"
    echo "Nubilo cannot run on this system: it lacks these libraries, or has older ones: $list." >&2
    echo "Install or update them with the system's package manager, then run this install.sh again. Nothing was installed." >&2
    exit 1
fi

start_log install.log
stage "installing into $NUBILO_DIR" install_from "$bundle_dir"
echo "Nubilo is installed in $NUBILO_DIR, where it also keeps its pictures. Start it from the"
echo "menu entry \"Nubilo\" or with the command: nubilo"
command_note
