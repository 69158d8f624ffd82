#!/usr/bin/env bash
# Builds Nubilo with its tests and benchmarks and runs every test, headless.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."
start_log check.log

bash scripts/deps.sh --tests
stage "configuring" cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
build_stage "building" cmake --build build --parallel "$(nproc)"
ctest --test-dir build --output-on-failure
