#!/usr/bin/env bash
# Checks the workflows in .github/workflows with actionlint; builds Nubilo with its tests and
# benchmarks and runs every test, headless; then, where a Qt for Windows of this system's Qt
# version is at hand, builds the program and its tests for Windows and runs them under Wine
# (build-windows/), with the zip and the setup, and a release; then builds the tests again
# with sanitizers and the standard library's assertions (build-hardened/), where a silent
# fault such as an index past the end or a leak fails its test, and runs them.
#
# Usage: scripts/check.sh [--windows | --hardened]    (only that stage)
# The Qt for Windows: NUBILO_WINDOWS_QT, or the one packaging/windows/make-qt.sh made.
set -euo pipefail
source "$(dirname "$0")/lib/stages.sh"
source "$(dirname "$0")/lib/windows.sh"
cd "$(dirname "$0")/.."

release=true windows=true hardened=true
case "${1:-}" in
"") ;;
--windows) release=false hardened=false ;;
--hardened) release=false windows=false ;;
*)
    echo "usage: scripts/check.sh [--windows | --hardened]" >&2
    exit 2
    ;;
esac
start_log check.log
# The packages that the bundle test and the packages' test make, for the release test to take
# rather than make them again: of this run only, so always of this tree.
NUBILO_TEST_PACKAGES=$(mktemp -d)
export NUBILO_TEST_PACKAGES
trap 'rm -rf "$NUBILO_TEST_PACKAGES"' EXIT

bash scripts/deps.sh --tests
if $release; then
    bash tools/actionlint/lint-workflows.sh
    stage "configuring" cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
    build_stage "building" cmake --build build --parallel "$(nproc)"
    ctest --test-dir build --output-on-failure
fi
if $windows; then
    if windows_qt=$(find_windows_qt 2>/dev/null); then
        bash scripts/deps.sh "${WINDOWS_TEST_PACKAGES[@]}"
        configure_windows_build "$PWD" build-windows "$windows_qt"
        build_stage "building for Windows" cmake --build build-windows --parallel "$(nproc)"
        ctest --test-dir build-windows --output-on-failure
    else
        echo "Windows stage ... skipped: $(find_windows_qt 2>&1 >/dev/null); to run it, set" \
            "NUBILO_WINDOWS_QT to a Qt for Windows of this version, or make one with packaging/windows/make-qt.sh"
    fi
fi
if $hardened; then
    stage "configuring the hardened build" cmake -S . -B build-hardened -DNUBILO_HARDENED=ON
    build_stage "building the hardened build" cmake --build build-hardened --parallel "$(nproc)"
    ctest --test-dir build-hardened --output-on-failure
fi
