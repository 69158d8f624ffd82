#!/usr/bin/env bash
# Fuzzes one of the two ways in which a stranger's bytes reach Nubilo, with clang's libFuzzer,
# AddressSanitizer and UBSan: the check of a body a server sent (checkpicture) or the reading of
# a file in the picture folder (readpicture). Builds the target in build-fuzz/, runs it from the
# seeds for MINUTES (default 10) and prints its figures. Whatever it finds (a crash, a time-out,
# a leak, a memory limit passed) is left in build-fuzz/findings/TARGET/, to be kept as a
# reproducer in tests/fuzz/TARGET/ once fixed: the tests replay those.
#
# Usage: tools/fuzz.sh checkpicture|readpicture [MINUTES]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
source "$source_dir/scripts/lib/stages.sh"
target=${1:-}
minutes=${2:-10}
if ! [[ $target =~ ^(checkpicture|readpicture)$ && $minutes =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 checkpicture|readpicture [MINUTES]" >&2
    exit 2
fi
build=$source_dir/build-fuzz
start_log fuzz.log

bash "$source_dir/scripts/deps.sh" clang libclang-rt-dev
stage "configuring" cmake -S "$source_dir" -B "$build" -DNUBILO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
build_stage "building" cmake --build "$build" --parallel "$(nproc)" --target "nubilo_fuzz_$target" nubilo_fuzz_seeds
stage "writing the seeds" "$build/tests/nubilo_fuzz_seeds" "$build/seeds"
corpus=$build/corpus/$target findings=$build/findings/$target
mkdir -p "$corpus" "$findings"

# The corpus grows from the seeds and is kept between runs; a finding ends the run.
echo "fuzzing $target for $minutes min ..."
status=0
# Qt's warning for each picture beyond the memory bound would fill the log and slow the run.
QT_LOGGING_RULES="qt.gui.imageio=false" "$build/tools/fuzz/nubilo_fuzz_$target" -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$build/seeds" >"$build/$target.log" 2>&1 \
    || status=$?
stat() { sed -n "s/^stat::$1: *//p" "$build/$target.log"; }
# A fuzzer that stopped before its first line of coverage (a seed that crashes, a start-up
# check that aborts) has none of these figures: they stay empty, and the findings still follow.
last=$(grep -E '^#[0-9]+.*cov: ' "$build/$target.log" | tail -n 1 || true)
seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$build/$target.log")
echo "executions: $(stat number_of_executed_units) in ${seconds:-?} s, $(stat average_exec_per_sec) a second"
echo "coverage: $(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last") edges, $(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last") features; corpus $(find "$corpus" -type f | wc -l) inputs"
echo "peak memory: $(stat peak_rss_mb) MB"
found=$(find "$findings" -type f | wc -l)
echo "findings: $found in $findings"
if ((status != 0 || found > 0)); then
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$build/$target.log" | head -n 5 >&2 || true
    echo "the fuzzer ended with status $status; its output is in $build/$target.log" >&2
    exit 1
fi
