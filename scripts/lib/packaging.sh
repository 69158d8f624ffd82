# shellcheck shell=bash
# Sourced by the package makers: what the Linux bundle and the Windows packages share.

# The time of the commit checked out in the folder $1, for files made from it; outside a
# clone, SOURCE_DATE_EPOCH or the time of its CMakeLists.txt.
commit_time() {
    git -C "$1" log -1 --format=%ct 2>/dev/null \
        || echo "${SOURCE_DATE_EPOCH:-$(stat -c %Y "$1/CMakeLists.txt")}"
}

# The version that the build folder $1 was configured with, from project() in CMakeLists.txt.
project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# The same in Windows' four numbers (1.1 is 1.1.0.0), for a build folder $1 configured for Windows.
windows_version() {
    sed -n 's/^NUBILO_WINDOWS_VERSION:INTERNAL=//p' "$1/CMakeCache.txt"
}

# A size of $1 bytes, as people read it.
mib() {
    awk -v bytes="$1" 'BEGIN { printf "%.1f MiB", bytes / 1048576 }'
}

# load_system_libraries FILE: the names and patterns that FILE lists as the system's own (a
# paragraph a group: why, then the names), for is_system_library.
load_system_libraries() {
    mapfile -t system_libraries < <(sed -e 's/#.*//' "$1" | tr -s ' \t' '\n\n' | sed '/^$/d')
}
# is_system_library NAME: whether one of those matches NAME, without regard to case, as Windows
# compares names; Linux has no two libraries that differ only in case.
is_system_library() {
    local pattern
    for pattern in "${system_libraries[@]}"; do
        # shellcheck disable=SC2053 # the names are patterns
        [[ ${1,,} == ${pattern,,} ]] && return 0
    done
    return 1
}

# carry_dependencies NEEDED LOCATE FOLDER FILE...: copies into FOLDER the libraries that the
# files need, and what those need in turn. `NEEDED FILE` prints the names of the libraries a
# file needs; `LOCATE NAME` prints the library to carry for a name, nothing for one the system
# gives, and fails for one it cannot find. Either failing stops the walk, which then fails.
# Names are compared without regard to case, as Windows does.
carry_dependencies() {
    local needed=$1 locate=$2 folder=$3
    shift 3
    local -A seen=()
    local queue=("$@") file names name found
    while ((${#queue[@]} > 0)); do
        file=${queue[0]}
        queue=("${queue[@]:1}")
        names=$("$needed" "$file") || {
            echo "cannot read which libraries $file needs" >&2
            return 1
        }
        for name in $names; do
            [ -z "${seen[${name,,}]:-}" ] || continue
            seen[${name,,}]=1
            found=$("$locate" "$name") || return 1
            [ -n "$found" ] || continue
            cp -L "$found" "$folder/$name"
            queue+=("$folder/$name")
        done
    done
}
