#!/usr/bin/env bash
# CHANGELOG.md against project()'s version and the metainfo made from it: the version has a
# section, the newest, dated; and the metainfo lists every release with its date. Faulty
# changelogs are refused with their reason.
# Usage: tst_changelog.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
source "$source_dir/scripts/lib/release.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(source_version "$source_dir")
[ "$version" = "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")" ] \
    || fail "source_version reads '$version', and the build has another"
check_changelog "$source_dir/CHANGELOG.md" "$version" || fail "CHANGELOG.md and project() disagree"
[ -n "$(release_notes "$source_dir/CHANGELOG.md" "$version")" ] || fail "no notes for $version"
listed=$(sed -n 's|^ *<release version="\(.*\)" date="\(.*\)"/>$|\1 \2|p' "$build_dir"/io.github.nubilo.nubilo.metainfo.xml)
[ "$listed" = "$(changelog_versions "$source_dir/CHANGELOG.md")" ] || fail "the metainfo lists: $listed"

# Rows: a changelog, and what its refusal must name.
printf '## [Unreleased]\n\n## [1.2] - 2027-01-02\nNew.\n\n## [1.1] - 2026-12-08\nOld.\n' >"$work/ok.md"
[ "$(release_notes "$work/ok.md" 1.2)" = New. ] || fail "the notes of 1.2: $(release_notes "$work/ok.md" 1.2)"
check_changelog "$work/ok.md" 1.2 || fail "a sound changelog refused"
while IFS='|' read -r version text reason; do
    printf '%b' "$text" >"$work/CHANGELOG.md"
    check_changelog "$work/CHANGELOG.md" "$version" 2>"$work/out" && fail "accepted for $version: $text"
    grep -qF "$reason" "$work/out" || fail "for $version says: $(cat "$work/out")"
done <<'ROWS'
1.2|## [1.1] - 2026-12-08\n|no section "## [1.2] - YYYY-MM-DD"
1.1|## [1x1] - 2026-12-08\n|no section "## [1.1]
1.2|## [1.2]\n## [1.1] - 2026-12-08\n|no section "## [1.2]
1.1|## [1.2] - 2027-01-02\n## [1.1] - 2026-12-08\n|newest section is 1.2
1.2|## [1.2] - 2026-01-02\n## [1.1] - 2026-12-08\n|not newest first
ROWS
echo "PASS"
