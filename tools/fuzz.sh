#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers, leak
# checking on) and runs each for SECONDS (default 60) over its seeds in fuzz/corpus/TARGET and
# what earlier runs found in build-fuzz/corpus/TARGET. A run that finds something is started again
# for the time left, so one finding does not end the target's turn. Then prints, per target, the
# inputs executed, the coverage (cov: code edges, ft: features) and the findings, which are in
# build-fuzz/crashes/TARGET/; the logs are in build-fuzz/logs/. Once fixed, keep each finding in
# tests/fuzz_regressions/TARGET/, whose files the fuzz_regressions tests replay in every
# tools/test.sh.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]     every target when none is named
#   RAVIK_FUZZ_JOBS=2 tools/fuzz.sh 600     two targets at a time
#
# On a shared machine run it as `nice -n 19 tools/fuzz.sh …` so other builds go first. An input
# counts as a hang after 20 s of wall-clock time, which a starved process can take for work of a
# fraction of a second: time a timeout's input again alone before calling it one.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_TO_RUN=${1:-60}
shift || true
all_targets=(picture_corner picture_fit picture_hint frame_text frame_set manifest char_set font_file
    compression runtime shaping)
targets=("${@:-${all_targets[@]}}")
jobs=${RAVIK_FUZZ_JOBS:-1}
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing clang libclang-rt-14-dev

build="$RAVIK_ROOT/build-fuzz"
CC=clang CXX=clang++ cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRAVIK_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzzer}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=allocator_may_return_null=1
# Qt keeps some allocations for the life of the process, out of any pointer's reach.
export LSAN_OPTIONS=suppressions=$RAVIK_ROOT/fuzz/leak_suppressions.txt:print_suppressions=0

# Runs one target until its time is up, restarting after each finding.
fuzz_target() {
    local target=$1 deadline=$((SECONDS + SECONDS_TO_RUN)) left run=0
    local crashes="$build/crashes/$target" log="$build/logs/$target.log"
    local max_len=65536
    [[ $target == frame_text ]] && max_len=131072 # two frames of C text
    mkdir -p "$build/corpus/$target" "$crashes" "$build/logs"
    : >"$log"
    while left=$((deadline - SECONDS)) && ((left > 0)); do
        run=$((run + 1))
        echo "=== run $run, ${left} s left" >>"$log"
        "$build/fuzz/${target}_fuzzer" -max_total_time="$left" -max_len="$max_len" \
            -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=20 -detect_leaks=1 \
            -artifact_prefix="$crashes/" -print_final_stats=1 \
            "$build/corpus/$target" "$RAVIK_ROOT/fuzz/corpus/$target" >>"$log" 2>&1 || true
    done
}

# Inputs executed over all runs, the last coverage line, and the findings kept.
summarise() {
    local target=$1 log="$build/logs/$1.log"
    local executed coverage findings
    executed=$(awk '/stat::number_of_executed_units/ {n += $2} END {print n + 0}' "$log")
    coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
    findings=$(find "$build/crashes/$target" -type f | wc -l)
    printf '%-15s %12s executions  %-22s %3d findings\n' "$target" "$executed" \
        "${coverage:-cov: ? ft: ?}" "$findings"
}

running=0
for target in "${targets[@]}"; do
    fuzz_target "$target" &
    running=$((running + 1))
    if ((running >= jobs)); then
        wait -n || true
        running=$((running - 1))
    fi
done
wait

echo
for target in "${targets[@]}"; do
    summarise "$target"
done
find "$build/crashes" -type f | sed 's/^/  /'
