#!/usr/bin/env bash
# Makes a whole release of the commit checked out, which must be clean and tagged vVERSION,
# VERSION being the one project() in CMakeLists.txt gives: the Linux bundle, the Windows zip and
# setup (signed when a certificate is given, see windows/make-packages.sh), the release notes,
# which are the version's section of CHANGELOG.md, and SHA256SUMS over them. It refuses, writing
# nothing, a tree with changes, a missing or another tag, and a CHANGELOG.md without the
# version's section; should a package maker fail, no file of the release is written.
#
# In CI the certificate comes as secrets: NUBILO_SIGN_PKCS12_BASE64 (the PKCS#12 file in
# base64) and NUBILO_SIGN_PASSWORD, which go into files of this run only, never printed.
# NUBILO_RELEASE_REUSE names a folder of packages made from this very commit (the tests keep
# theirs), which are taken rather than made again; packaging/verify-release.sh proves them.
#
# Usage: packaging/release.sh [DIR]    (default: dist/ in the source tree)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
source "$source_dir/scripts/lib/stages.sh"
source "$source_dir/scripts/lib/packaging.sh"
source "$source_dir/scripts/lib/release.sh"
output_dir=${1:-$source_dir/dist}
refuse() {
    echo "no release: $*" >&2
    exit 1
}

changes=$(git -C "$source_dir" status --porcelain) || refuse "$source_dir is not a clone of Nubilo's repository"
[ -z "$changes" ] || refuse "the tree has changes (git status --porcelain):"$'\n'"$changes"
version=$(source_version "$source_dir")
tags=$(git -C "$source_dir" tag --points-at HEAD --list 'v*' | tr '\n' ' ')
if [[ " $tags" != *" v$version "* ]]; then
    [ -z "$tags" ] || refuse "the commit is tagged ${tags% }, and project() in CMakeLists.txt gives $version: the tag must be v$version"
    refuse "the commit has no tag v$version, the version that project() in CMakeLists.txt gives (git tag v$version)"
fi
why=$(check_changelog "$source_dir/CHANGELOG.md" "$version" 2>&1) || refuse "$why"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The secrets become files that only this user may read, removed with the rest.
if [ -n "${NUBILO_SIGN_PKCS12_BASE64:-}" ]; then
    (umask 077 && printf '%s' "$NUBILO_SIGN_PKCS12_BASE64" | base64 -d >"$work/certificate.p12" \
        && printf '%s' "${NUBILO_SIGN_PASSWORD:-}" >"$work/password") || refuse "NUBILO_SIGN_PKCS12_BASE64 is not base64"
    export NUBILO_SIGN_PKCS12=$work/certificate.p12 NUBILO_SIGN_PASSWORD_FILE=$work/password
fi
signed=false
[ -z "${NUBILO_SIGN_PKCS12:-}" ] || signed=true

mkdir "$work/release"
kinds=()
while read -r file kind; do
    if ! $signed && [ -f "${NUBILO_RELEASE_REUSE:-/nonexistent}/$file" ]; then
        echo "$file ... taken from $NUBILO_RELEASE_REUSE"
        cp "$NUBILO_RELEASE_REUSE/$file" "$work/release/"
    elif [[ " ${kinds[*]} " != *" $kind "* ]]; then
        kinds+=("$kind")
    fi
done < <(release_packages "$version")
make_packages "$source_dir" "$work/release" "${kinds[@]}"

notes=nubilo-$version-notes.md
{
    release_notes "$source_dir/CHANGELOG.md" "$version"
    echo
    if $signed; then
        echo "The Windows packages, and every program and DLL in them, are signed."
    else
        echo "The Windows packages are not signed: Windows' SmartScreen may warn when the setup first" \
            "starts (click \"Weitere Informationen\", then \"Trotzdem ausführen\"), and where Smart App" \
            "Control is on they do not run."
    fi
} >"$work/release/$notes"
(cd "$work/release" && sha256sum -- * >"$work/SHA256SUMS" && mv "$work/SHA256SUMS" .)

# Only now, with every file made, does the release reach its folder.
mkdir -p "$output_dir"
output_dir=$(cd "$output_dir" && pwd)
echo "release $version, $($signed && echo signed || echo unsigned), in $output_dir:"
for file in "$work/release"/*; do
    cp "$file" "$output_dir/.$(basename "$file").new"
done
for file in "$work/release"/*; do
    name=$(basename "$file")
    mv -f "$output_dir/.$name.new" "$output_dir/$name"
    echo "  $name, $(file_size "$(stat -c %s "$file")")"
done
# For the workflow that publishes it.
[ -z "${GITHUB_OUTPUT:-}" ] || printf 'version=%s\nnotes=%s\n' "$version" "$output_dir/$notes" >>"$GITHUB_OUTPUT"
