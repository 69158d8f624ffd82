#!/usr/bin/env bash
# Rebuilds a release from its tag and compares the given files with the rebuild, byte for byte,
# so that anyone can see that a download was built from that source and nothing else. It
# clones the repository at the tag into a temporary folder, runs the package makers there as
# packaging/release.sh does, and prints one line per file: identical, or different and where.
#
# Signed Windows files differ from a rebuild by their signatures alone: the rebuild is signed
# too, with a throw-away certificate, and every signature is removed from both sides
# (osslsigncode remove-signature) before they are compared, which the line then says. A signed
# setup packs signed files, whose signatures cannot be removed in place: its files are unpacked
# (7z) and compared, each without its signature.
#
# Fails when a file differs, when a file's name is none of the tag's packages, and when there
# is no such tag. The Qt for Windows is found as make-packages.sh finds it.
#
# Usage: packaging/verify-release.sh [--repository URL] TAG FILE...
#   (default: the repository of the clone this is in)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
source "$source_dir/scripts/lib/stages.sh"
source "$source_dir/scripts/lib/packaging.sh"
source "$source_dir/scripts/lib/release.sh"
repository=$source_dir
if [ "${1:-}" = --repository ]; then
    repository=${2:?--repository needs a URL}
    shift 2
fi
if (($# < 2)); then
    echo "usage: packaging/verify-release.sh [--repository URL] TAG FILE..." >&2
    exit 2
fi
tag=$1
shift
files=()
for file in "$@"; do
    [ -f "$file" ] || { echo "$file: no such file" >&2; exit 1; }
    files+=("$(realpath "$file")")
done

# Its own tools; the package makers install theirs.
bash "$source_dir/scripts/deps.sh" git unzip p7zip-full osslsigncode openssl xz-utils
status=0
git ls-remote --exit-code --tags "$repository" "refs/tags/$tag" >/dev/null 2>&1 || status=$?
case $status in
0) ;;
2) echo "there is no tag $tag in $repository" >&2; exit 1 ;;
*) echo "cannot read the tags of $repository (git ls-remote: exit $status)" >&2; exit 1 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone --quiet --no-checkout "$repository" "$work/source"
git -C "$work/source" checkout --quiet --detach "refs/tags/$tag"
version=$(source_version "$work/source")

# Whether a program, a DLL or the zip's nubilo.exe carries a signature.
is_signed() {
    local program=$1
    if [[ $1 == *.zip ]]; then
        program=$work/zip-program.exe
        unzip -p "$1" Nubilo/nubilo.exe >"$program" 2>/dev/null || return 1
    fi
    osslsigncode extract-signature -in "$program" -out "$work/signature" >/dev/null 2>&1 || return 1
    rm -f "$work/signature"
}

# Which maker makes each file, by its name; a name of no package is refused before building.
declare -A maker=()
while read -r name kind; do maker[$name]=$kind; done < <(release_packages "$version")
kinds=() signatures=() signed=false
for file in "${files[@]}"; do
    kind=${maker[$(basename "$file")]:-}
    if [ -z "$kind" ]; then
        echo "$(basename "$file"): no package of Nubilo $version ($tag) is called so; they are:" \
            "$(release_packages "$version" | cut -d' ' -f1 | paste -sd ' ')" >&2
        exit 1
    fi
    [[ " ${kinds[*]} " == *" $kind "* ]] || kinds+=("$kind")
    if [ "$kind" = windows ]; then
        is_signed "$file" && signatures+=(signed) || signatures+=(unsigned)
    fi
done
# A release's Windows files are all signed or none are.
if [[ " ${signatures[*]} " == *" signed "* ]]; then
    signed=true
    if [[ " ${signatures[*]} " == *" unsigned "* ]]; then
        echo "some of the Windows files are signed and some are not: they are not of one release" >&2
        exit 1
    fi
fi

# A throw-away certificate signs the rebuild where the release is signed: each side then
# carries signatures in the same places, which come off alike.
if $signed; then
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
        -subj "/CN=Nubilo rebuild" -addext extendedKeyUsage=codeSigning 2>/dev/null
    openssl rand -hex 16 >"$work/password"
    openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" -out "$work/cert.p12"
    export NUBILO_SIGN_PKCS12=$work/cert.p12 NUBILO_SIGN_PASSWORD_FILE=$work/password
    unset NUBILO_SIGN_TIMESTAMP_URL
else
    unset NUBILO_SIGN_PKCS12 NUBILO_SIGN_PASSWORD_FILE
fi
echo "rebuilding ${kinds[*]} of $tag ($(git -C "$work/source" rev-parse HEAD)) in $work/source"
mkdir "$work/rebuilt"
make_packages "$work/source" "$work/rebuilt" "${kinds[@]}" >"$work/makers.log" 2>&1 \
    || { cat "$work/makers.log" >&2; echo "the rebuild failed" >&2; exit 1; }

# unpack FILE FOLDER: the files a package holds; a Windows setup's through 7z.
unpack() {
    mkdir -p "$2"
    case $1 in
    *.tar.xz) tar -xJf "$1" -C "$2" ;;
    *.zip) unzip -q "$1" -d "$2" ;;
    *.exe) 7z x -y -o"$2" "$1" >/dev/null ;;
    esac
}
# unsign FOLDER: every program and DLL in it without its signature; prints how many had one.
unsign() {
    local file count=0
    while IFS= read -r -d '' file; do
        is_signed "$file" || continue
        osslsigncode remove-signature -in "$file" -out "$file.unsigned" >/dev/null
        mv "$file.unsigned" "$file"
        count=$((count + 1))
    done < <(find "$1" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
    echo "$count"
}
# first_difference A B: where two files part, as cmp tells it.
first_difference() {
    { cmp -- "$1" "$2" 2>&1 || true; } | sed -n 's/.* differ: \(byte [0-9]*\).*/from \1 on/p; s/.*EOF on .* after byte \([0-9]*\).*/the shorter ends after byte \1/p'
}
# different_member A B: the first file that two unpacked packages do not hold alike.
different_member() {
    { diff -rq "$1" "$2" 2>&1 || true; } | head -n 1 | sed "s|^Files $1/\(.*\) and .* differ$|in \1|; s|^Only in $1/*\(.*\): \(.*\)|\1/\2 only in the file given|; s|^Only in $2/*\(.*\): \(.*\)|\1/\2 only in the rebuild|"
}
# A zip's names, modes and times, in its order.
zip_listing() {
    zipinfo -T "$1" | awk 'NF >= 9 { print $1, $7, $8 }'
}

failed=false index=0
for file in "${files[@]}"; do
    name=$(basename "$file") index=$((index + 1))
    rebuilt=$work/rebuilt/$name
    if cmp -s "$file" "$rebuilt"; then
        echo "$name: identical"
        continue
    fi
    where=$(first_difference "$file" "$rebuilt")
    member=""
    if unpack "$file" "$work/given.$index" 2>/dev/null && unpack "$rebuilt" "$work/rebuild.$index"; then
        if [ "${maker[$name]}" = windows ] && $signed; then
            count=$(unsign "$work/given.$index")
            unsign "$work/rebuild.$index" >/dev/null
            member=$(different_member "$work/given.$index" "$work/rebuild.$index")
            if [ "$name" != "${name%.zip}" ] && [ -z "$member" ] \
                && [ "$(zip_listing "$file")" != "$(zip_listing "$rebuilt")" ]; then
                member="in the names, modes or times of its files"
            fi
            if [ -z "$member" ]; then
                echo "$name: identical in each file it holds once every signature is removed from both" \
                    "(osslsigncode remove-signature; $count of its programs and DLLs were signed)"
                continue
            fi
        else
            member=$(different_member "$work/given.$index" "$work/rebuild.$index")
        fi
    fi
    echo "$name: different, $where${member:+, $member}"
    failed=true
done
! $failed
