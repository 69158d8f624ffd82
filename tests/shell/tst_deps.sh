#!/usr/bin/env bash
# deps.sh away from Debian: with no dpkg-query on the PATH it checks the tools itself, goes on
# when all are there, and otherwise names the packages for the system's package manager. On
# Debian it waits for a package lock that another program holds. Usage: tst_deps.sh SOURCE_DIR
set -euo pipefail
deps=$1/scripts/deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work NUBILO_LOG=$work/log
fail() { echo "FAIL: $*" >&2; cat "$work/out" >&2; exit 1; }

# Every tool of this machine but dpkg-query; in front of them, a CMake too old for the build.
mkdir "$work/bin" "$work/old"
ln -s /usr/bin/* "$work/bin/"
rm "$work/bin/dpkg-query"
printf '#!/bin/sh\necho "cmake version 3.20.6"\n' >"$work/old/cmake"
chmod +x "$work/old/cmake"

PATH=$work/bin bash "$deps" >"$work/out" 2>&1 || fail "stops although all is there"
grep -q "all present" "$work/out" || fail "does not say that all is there"

# A fake package manager each, then none; "-" stands for none.
while read -r manager wanted; do
    [ "$manager" = - ] || printf '#!/bin/sh\nexit 1\n' >"$work/old/$manager"
    chmod +x "$work/old"/*
    PATH=$work/old:$work/bin bash "$deps" >"$work/out" 2>&1 && fail "$manager: goes on with CMake 3.20"
    grep -q "missing: CMake 3.22 or newer (found 3.20.6)" "$work/out" && grep -q "$wanted" "$work/out" \
        || fail "$manager: does not name what to install"
    # The README lists the same command.
    command=$(sed -n 's/^    \(sudo \)\{0,1\}//p' "$work/out")
    [ -z "$command" ] || grep -qF "\`sudo $command\`" "$1/README.md" || fail "README differs for $manager"
    rm -f "$work/old/$manager"
done <<'LIST'
dnf     dnf install cmake .*qt6-qtbase-devel qt6-qttranslations$
zypper  zypper install cmake .*qt6-test-devel qt6-translations$
pacman  pacman -S --needed cmake .*qt6-base qt6-translations$
-       development files of Widgets, Network and Test
LIST

# On Debian, a package lock held by another program for a moment: deps.sh waits for it, and
# only then runs apt-get, a fake here that checks the lock was let go and that it was told to
# wait too. Holding the lock needs root; the holder says when it has the lock and, before it
# lets go, that it will.
if [ "$(id -u)" -eq 0 ]; then
    mkdir "$work/apt"
    printf '#!/bin/sh\n[ -e %s/letting-go ] && [ "$1 $2" = "-o DPkg::Lock::Timeout=300" ]\n' \
        "$work" >"$work/apt/apt-get"
    chmod +x "$work/apt/apt-get"
    python3 -c 'import fcntl, sys, time
lock = open("/var/lib/dpkg/lock", "a")
fcntl.lockf(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
open(sys.argv[1] + "/held", "w").close()
time.sleep(2)
open(sys.argv[1] + "/letting-go", "w").close()' "$work" 2>/dev/null &
    until [ -e "$work/held" ] || ! kill -0 $! 2>/dev/null; do sleep 0.1; done
fi
if [ ! -e "$work/held" ]; then
    echo "SKIP: waiting for the package lock, which needs root and the lock free to take"
else
    PATH=$work/apt:$PATH bash "$deps" nubilo-no-such-package >"$work/out" 2>&1 \
        || fail "runs apt-get before the lock is free, or without its own wait for it"
    grep -q "^packages ... waiting for .*(process $!), which holds the package lock" "$work/out" \
        || fail "does not say what it waits for"
fi
echo "PASS"
