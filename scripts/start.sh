#!/usr/bin/env bash
# Builds Nubilo, installs it into its own folder and opens the window.
# The pictures are kept beside the installed program, never in the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=/opt/nubilo

bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "$(nproc)" --target nubilo
cmake --install build --prefix "$prefix"
exec "$prefix/nubilo"
