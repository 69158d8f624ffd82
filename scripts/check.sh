#!/usr/bin/env bash
# Builds Nubilo with its tests and benchmarks and runs every test, headless; then builds the
# tests again with sanitizers and the standard library's assertions (build-hardened/), where
# a silent fault such as an index past the end or a leak fails its test, and runs them there.
#
# Usage: scripts/check.sh [--hardened]    (--hardened: the second build and its tests only)
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."

case "${1:-}" in
"") release=true ;;
--hardened) release=false ;;
*)
    echo "usage: scripts/check.sh [--hardened]" >&2
    exit 2
    ;;
esac
start_log check.log

bash scripts/deps.sh --tests
if $release; then
    stage "configuring" cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
    build_stage "building" cmake --build build --parallel "$(nproc)"
    ctest --test-dir build --output-on-failure
fi
stage "configuring the hardened build" cmake -S . -B build-hardened -DNUBILO_HARDENED=ON
build_stage "building the hardened build" cmake --build build-hardened --parallel "$(nproc)"
ctest --test-dir build-hardened --output-on-failure
