# shellcheck shell=bash
# Sourced by the release command and the rebuild check: the version, the notes of CHANGELOG.md,
# and the package makers run as a release runs them.

# The version that project() in the source folder $1's CMakeLists.txt gives.
source_version() {
    sed -n 's/^project([A-Za-z]* VERSION \([0-9][0-9.]*\).*/\1/p' "$1/CMakeLists.txt"
}

# changelog_versions FILE: each released version of FILE with its date, "1.1 2026-12-08", in
# the file's order. A section is "## [1.1] - 2026-12-08"; "## [Unreleased]" has no date.
changelog_versions() {
    sed -n -E 's/^## \[([0-9][^] ]*)\] - ([0-9]{4}-[0-9]{2}-[0-9]{2})[[:space:]]*$/\1 \2/p' "$1"
}

# check_changelog FILE VERSION: whether FILE has a section for VERSION, which is its newest,
# with the dates newest first; if not, says why.
check_changelog() {
    local versions newest
    versions=$(changelog_versions "$1")
    if ! grep -q "^${2//./\\.} " <<<"$versions"; then
        echo "$(basename "$1") has no section \"## [$2] - YYYY-MM-DD\" for version $2, which project() in CMakeLists.txt gives" >&2
        return 1
    fi
    newest=$(head -n 1 <<<"$versions")
    if [ "${newest%% *}" != "$2" ]; then
        echo "$(basename "$1")'s newest section is ${newest%% *}, and project() in CMakeLists.txt gives $2" >&2
        return 1
    fi
    if ! cut -d' ' -f2 <<<"$versions" | sort -r -C; then
        echo "$(basename "$1")'s sections are not newest first by their dates" >&2
        return 1
    fi
}

# release_notes FILE VERSION: the text of VERSION's section of FILE, without its heading and
# the blank lines around it.
release_notes() {
    awk -v heading="## [$2] - " '
        /^## / { if (inside) exit; inside = index($0, heading) == 1; next }
        inside && NF { while (blank-- > 0) print ""; print; blank = 0; started = 1; next }
        inside && started { blank++ }
    ' "$1"
}

# The package files of version $1, one a line, and which maker makes each.
release_packages() {
    printf '%s linux\n' "nubilo-$1-linux-x86_64.tar.xz"
    printf '%s windows\n' "nubilo-$1-windows-x86_64.zip" "nubilo-$1-windows-x86_64-setup.exe"
}

# make_packages SOURCE_DIR OUTPUT_DIR KIND...: runs the makers of the kinds (linux, windows) on
# the source folder, as a release does; OUTPUT_DIR gets the packages without their .sha256.
make_packages() {
    local source=$1 output=$2 kind
    shift 2
    for kind in "$@"; do
        case $kind in
        linux) bash "$source/packaging/linux/make-bundle.sh" "$output" ;;
        windows) bash "$source/packaging/windows/make-packages.sh" "$output" ;;
        esac || { echo "the package maker for $kind failed" >&2; return 1; }
    done
    rm -f "$output"/*.sha256
}

# A size of $1 bytes, as people read it: MiB for packages, bytes for the small files.
file_size() {
    if (($1 >= 1048576)); then mib "$1"; else echo "$1 bytes"; fi
}
