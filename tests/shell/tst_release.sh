#!/usr/bin/env bash
# Makes a release in a temporary clone of this tree with a temporary tag, and checks it with the
# rebuild tool: the zip is rebuilt from the tag and found identical, and a copy with one byte
# changed is found different. The release command refuses, writing nothing, a tree with
# changes, a missing or another tag, a CHANGELOG.md without the version, and a failing maker.
# The packages that the bundle test and the packages' test made of this tree are taken, where
# NUBILO_TEST_PACKAGES names them (check.sh does), rather than made again.
# Usage: tst_release.sh SOURCE_DIR WINDOWS_BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
source "$source_dir/scripts/lib/release.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export NUBILO_WINDOWS_QT NUBILO_LOG=$work/makers.log
NUBILO_WINDOWS_QT=$(sed -n 's/^NUBILO_WINDOWS_QT:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
unset NUBILO_SIGN_PKCS12 NUBILO_SIGN_PKCS12_BASE64

# The clone holds this tree as it is, committed at HEAD's time, which every time in the
# packages is: so they are the same bytes as those made in the tree itself.
clone=$work/clone
git clone --quiet "$source_dir" "$clone"
git -C "$clone" ls-files -z | (cd "$clone" && xargs -0 rm -f)
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard \
    | while IFS= read -r -d '' file; do [ ! -e "$file" ] || printf '%s\0' "$file"; done \
    | tar --null -T - -cf -) | tar -xf - -C "$clone"
git -C "$clone" add -A
export GIT_AUTHOR_DATE GIT_COMMITTER_DATE GIT_AUTHOR_NAME=test GIT_AUTHOR_EMAIL=test@127.0.0.1
GIT_COMMITTER_DATE=$(git -C "$source_dir" log -1 --format=%cI) GIT_AUTHOR_DATE=$GIT_COMMITTER_DATE
export GIT_COMMITTER_NAME=test GIT_COMMITTER_EMAIL=test@127.0.0.1
git -C "$clone" diff --cached --quiet || git -C "$clone" commit --quiet -m "the tree under test"
version=$(source_version "$clone")
release() { bash "$clone/packaging/release.sh" "$work/release" >"$work/out" 2>&1; }

# Rows: how the clone is set up, then what the refusal names.
refused() {
    release && fail "a release $1"
    grep -qF "$2" "$work/out" || { cat "$work/out"; fail "$1: not said why"; }
    [ ! -e "$work/release" ] || fail "$1: wrote $(ls "$work/release")"
}
refused "without a tag" "the commit has no tag v$version"
git -C "$clone" tag v0.1
refused "with another tag" "tagged v0.1, and project() in CMakeLists.txt gives $version"
git -C "$clone" tag -d v0.1 >/dev/null
git -C "$clone" tag "v$version"
touch "$clone/stray"
refused "with a change in the tree" "?? stray"
rm "$clone/stray"
sed -i "s/^## \[$version\]/## [0.0]/" "$clone/CHANGELOG.md"
git -C "$clone" commit --quiet -am "no section" && git -C "$clone" tag -f "v$version" >/dev/null
refused "with no section for its version" "no section \"## [$version]"
git -C "$clone" reset --quiet --hard HEAD~1 && git -C "$clone" tag -f "v$version" >/dev/null
mkdir "$work/bundle-only"
cp "${NUBILO_TEST_PACKAGES:-/nonexistent}"/*-linux-x86_64.tar.xz "$work/bundle-only/" 2>/dev/null || true
NUBILO_RELEASE_REUSE=$work/bundle-only NUBILO_WINDOWS_QT=$work/no-qt refused "whose Windows packages fail" \
    "the package maker for windows failed"

NUBILO_RELEASE_REUSE=${NUBILO_TEST_PACKAGES:-} release || { cat "$work/out"; fail "release.sh"; }
cat "$work/out"
(cd "$work/release" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS"
[ "$(cut -d' ' -f3 "$work/release/SHA256SUMS" | sort)" = "$(find "$work/release" -type f ! -name SHA256SUMS -printf '%f\n' | sort)" ] \
    || fail "SHA256SUMS does not cover every file"
release_packages "$version" | while read -r name _; do [ -s "$work/release/$name" ] || fail "no $name"; done
notes=$work/release/nubilo-$version-notes.md
grep -qF "$(release_notes "$clone/CHANGELOG.md" "$version" | head -n 1)" "$notes" && grep -q "not signed" "$notes" \
    || fail "the notes: $(cat "$notes")"

# The zip rebuilt from the tag, beside a copy with one byte changed; an unknown name and an
# unknown tag are refused before anything is built.
zip=nubilo-$version-windows-x86_64.zip
mkdir "$work/changed"
cp "$work/release/$zip" "$work/changed/"
size=$(stat -c %s "$work/changed/$zip")
printf '\x55' | dd of="$work/changed/$zip" bs=1 seek=$((size / 2)) conv=notrunc status=none
cmp -s "$work/release/$zip" "$work/changed/$zip" && printf '\xaa' | dd of="$work/changed/$zip" bs=1 seek=$((size / 2)) conv=notrunc status=none
verify() { bash "$clone/packaging/verify-release.sh" "$@" >"$work/out" 2>&1; }
verify "v$version" "$work/release/SHA256SUMS" && fail "verified a file of no package"
grep -q "SHA256SUMS: no package of Nubilo $version" "$work/out" || { cat "$work/out"; fail "unknown name not said"; }
verify v0.0.0 "$work/release/$zip" && fail "verified against a tag that is not there"
grep -q "there is no tag v0.0.0" "$work/out" || { cat "$work/out"; fail "missing tag not said"; }
verify "v$version" "$work/release/$zip" "$work/changed/$zip" && fail "a changed byte went unnoticed"
cat "$work/out"
[ "$(grep -c "^$zip: identical$" "$work/out")" = 1 ] || fail "the release's zip is not its rebuild's"
grep -q "^$zip: different, from byte $((size / 2 + 1)) on" "$work/out" || fail "the changed byte is not named"
echo "PASS"
