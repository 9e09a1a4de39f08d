#!/usr/bin/env bash
# Builds the libFuzzer target with clang (address and undefined-behaviour sanitizers) and runs it
# for SECONDS (default 60) over a copy of the seed corpus in fuzz/corpus. Crashing inputs are
# written to build-fuzz/crashes/; once fixed, keep each in
# tests/fuzz_regressions/, whose files the fuzz_regressions test replays in every tools/test.sh.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_TO_RUN=${1:-60}
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing clang libclang-rt-14-dev

build="$RAVIK_ROOT/build-fuzz"
CC=clang CXX=clang++ cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRAVIK_FUZZ=ON -DBUILD_TESTING=OFF
cmake --build "$build" --target picture_fuzzer

mkdir -p "$build/corpus" "$build/crashes"
cp -n "$RAVIK_ROOT"/fuzz/corpus/* "$build/corpus/" 2>/dev/null || true
export QT_QPA_PLATFORM=offscreen
# Qt keeps a few allocations until exit; leaks are not what this run looks for.
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
"$build/fuzz/picture_fuzzer" -max_total_time="$SECONDS_TO_RUN" -max_len=65536 -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix="$build/crashes/" -print_final_stats=1 \
    "$build/corpus" "$RAVIK_ROOT/fuzz/corpus"
