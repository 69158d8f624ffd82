# shellcheck shell=bash
# Sourced: quiet stages that print one line each, while their full output goes to a log file
# in the user's cache folder.

CACHE_DIR=${XDG_CACHE_HOME:-$HOME/.cache}/nubilo
LOG_DIR=$CACHE_DIR

# Starts a fresh log named $1 unless a calling script already did.
start_log() {
    if [ -z "${NUBILO_LOG:-}" ]; then
        mkdir -p "$LOG_DIR"
        export NUBILO_LOG=$LOG_DIR/$1
        : >"$NUBILO_LOG"
    fi
}

# Ends a failed stage: its line, then the end of the log and where the rest is.
stage_failed() {
    echo "failed"
    echo "--- last lines of $NUBILO_LOG:" >&2
    tail -n 15 "$NUBILO_LOG" >&2
    echo "--- the full output is in $NUBILO_LOG" >&2
    exit 1
}

# stage LABEL COMMAND...: runs the command (or function) with its output in the log.
stage() {
    local label=$1
    shift
    printf '%s ... ' "$label"
    echo "=== $label: $*" >>"$NUBILO_LOG"
    # Not inside "if": there bash would ignore set -e in a function run as the command.
    local status=0
    set +e
    (set -e; "$@") >>"$NUBILO_LOG" 2>&1
    status=$?
    set -e
    ((status == 0)) || stage_failed
    echo "done"
}

# build_stage LABEL COMMAND...: like stage, for a build that prints "[ 42%]" lines (make) or
# "[420/1000]" lines (ninja). On a terminal the percentage counts up in place; elsewhere (a CI
# log) every tenth is added.
build_stage() {
    local label=$1
    shift
    printf '%s ... ' "$label"
    echo "=== $label: $*" >>"$NUBILO_LOG"
    local shown=-1 percent
    # With pipefail the pipeline fails when the build does.
    if "$@" 2>&1 | tee -a "$NUBILO_LOG" | while IFS= read -r line; do
        if [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
            percent=${BASH_REMATCH[1]}
        elif [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
            percent=$((BASH_REMATCH[1] * 100 / BASH_REMATCH[2]))
        else
            continue
        fi
        if [ -t 1 ]; then
            printf '\r%s ... %3d%%' "$label" "$percent"
        elif ((percent / 10 > shown / 10)); then
            printf '%d%% ' "$percent"
        fi
        shown=$percent
    done; then
        [ -t 1 ] && printf '\r%s ... ' "$label"
        echo "done"
    else
        [ -t 1 ] && printf ' '
        stage_failed
    fi
}
